#pragma once
// Plain geometry with the platform's rectangle semantics: a rectangle may
// have a negative size until it is standardised; the null rectangle is the
// result of an empty intersection; an empty rectangle has no area.
#include <cmath>
#include <limits>
#include <optional>

namespace platform {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    static Rect null() {
        const double inf = std::numeric_limits<double>::infinity();
        return Rect(inf, inf, 0, 0);
    }
    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

    // Same rectangle with a non-negative width and height.
    Rect standardized() const {
        Rect r = *this;
        if (r.size.width < 0) { r.origin.x += r.size.width; r.size.width = -r.size.width; }
        if (r.size.height < 0) { r.origin.y += r.size.height; r.size.height = -r.size.height; }
        return r;
    }
    double minX() const { return standardized().origin.x; }
    double minY() const { return standardized().origin.y; }
    double maxX() const { auto s = standardized(); return s.origin.x + s.size.width; }
    double maxY() const { auto s = standardized(); return s.origin.y + s.size.height; }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    // Intersection; the null rectangle when the two do not overlap.
    Rect intersection(const Rect& other) const {
        if (isNull() || other.isNull()) return null();
        double x0 = std::max(minX(), other.minX());
        double y0 = std::max(minY(), other.minY());
        double x1 = std::min(maxX(), other.maxX());
        double y1 = std::min(maxY(), other.maxY());
        if (x1 < x0 || y1 < y0) return null();
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }
    // True when the two have an intersection of non-zero area.
    bool intersects(const Rect& other) const {
        Rect i = intersection(other);
        return !i.isNull() && !i.isEmpty();
    }
    // A point on the min edges is inside, one on the max edges is not.
    bool contains(const Point& p) const {
        if (isNull() || isEmpty()) return false;
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    bool contains(const Rect& r) const {
        if (isNull() || r.isNull()) return false;
        return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
    }
    Rect insetBy(double dx, double dy) const {
        Rect s = standardized();
        return Rect(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
    }
    Rect offsetBy(double dx, double dy) const {
        return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
    }
    bool isFinite() const {
        return std::isfinite(origin.x) && std::isfinite(origin.y) && std::isfinite(size.width) &&
               std::isfinite(size.height);
    }

    friend bool operator==(const Rect& a, const Rect& b) {
        if (a.isNull() && b.isNull()) return true;
        return a.standardized().origin == b.standardized().origin &&
               a.standardized().size == b.standardized().size;
    }
};

}  // namespace platform
