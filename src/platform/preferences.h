#pragma once
// Preference domains: the application's user defaults and other domains
// such as the Dock's ("com.apple.dock").
//
// Values are QVariants of exactly these kinds: bool, qint64, double, QString,
// QByteArray, QDateTime, QVariantList (array) and QVariantMap (dictionary).
// Typed getters never convert: a value of another kind reads as absent.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::prefs {

inline const QString applicationDomain = QStringLiteral("app.quorvel.Quorvel");
inline const QString dockDomain = QStringLiteral("com.apple.dock");

enum class Kind { none, boolean, integer, real, text, data, date, array, dictionary };
Kind kindOf(const QVariant& v);
// True when every value, also inside arrays and dictionaries, is one of the kinds above.
bool isPropertyListValue(const QVariant& v);

// Where a domain's values are kept.
class Backend {
public:
    virtual ~Backend() = default;
    // The stored values of a domain; empty when there are none or the store
    // could not be read (the backend then keeps the unreadable copy aside).
    virtual QVariantMap load(const QString& domain) = 0;
    // Writes all values durably; false when they could not be written.
    virtual bool save(const QString& domain, const QVariantMap& values) = 0;
    // Reads the stored values afresh, lets `change` edit them and writes the
    // whole domain back as one save; `stored` receives what was written.
    // A backend shared between processes keeps the read and the write
    // together. False when nothing could be written.
    virtual bool update(const QString& domain, const std::function<void(QVariantMap&)>& change, QVariantMap* stored);
    // What can still be read from copies of the domain that were set aside
    // as unreadable, newest first. Each copy is offered once: afterwards it
    // is marked as read and stays where it is.
    virtual std::vector<QVariantMap> takeSetAsideValues(const QString&) { return {}; }
};

// One preference domain. Reads and writes are safe from any thread; the
// `changed` signal is always emitted on the main thread.
class Domain : public QObject {
    Q_OBJECT
public:
    Domain(QString name, std::shared_ptr<Backend> backend);
    const QString& name() const { return name_; }

    std::optional<QVariant> value(const QString& key) const;
    bool contains(const QString& key) const { return value(key).has_value(); }
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> integerValue(const QString& key) const;
    std::optional<double> realValue(const QString& key) const;
    // An integer or a real, as a number (the Dock stores delays either way).
    std::optional<double> numberValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    std::optional<QVariantList> arrayValue(const QString& key) const;
    // An array whose every element is text; absent otherwise.
    std::optional<QStringList> stringArrayValue(const QString& key) const;
    std::optional<QVariantMap> dictionaryValue(const QString& key) const;
    QStringList keys() const;

    // Each write is on disk before it returns; false when it could not be
    // stored (the value in memory is then left as it was).
    bool set(const QString& key, const QVariant& value);
    bool setBool(const QString& key, bool v) { return set(key, QVariant(v)); }
    bool setInteger(const QString& key, qint64 v) { return set(key, QVariant(v)); }
    bool setReal(const QString& key, double v) { return set(key, QVariant(v)); }
    bool setString(const QString& key, const QString& v) { return set(key, QVariant(v)); }
    bool setStringArray(const QString& key, const QStringList& v);
    bool remove(const QString& key);
    // Several changes as one save of the whole domain, made to the values
    // as stored now (re-read first: another process may have written them).
    // `change` gets the values and edits them; it must not call back into
    // this domain. False when the save failed (nothing changes then).
    bool update(const std::function<void(QVariantMap&)>& change);
    // Re-reads the stored values (another process may have written them).
    void reload();
    // The backend's values from set-aside copies of this domain (see Backend).
    std::vector<QVariantMap> takeSetAsideValues() { return backend_->takeSetAsideValues(name_); }

signals:
    void changed(const QString& key);

private:
    void notify(const QString& key);
    QString name_;
    std::shared_ptr<Backend> backend_;
    mutable std::mutex mutex_;
    QVariantMap values_;
};

// A backend that keeps values in memory only (tests, the simulated desktop).
class MemoryBackend : public Backend {
public:
    QVariantMap load(const QString& domain) override;
    bool save(const QString& domain, const QVariantMap& values) override;
    void setFailWrites(bool fail) { failWrites_ = fail; }
    void preset(const QString& domain, const QVariantMap& values);

private:
    std::mutex mutex_;
    std::map<QString, QVariantMap> domains_;
    bool failWrites_ = false;
};

// The domain with the given name of the installed backend (one object per
// name for the life of the installation).
Domain& domain(const QString& name);
// The application's own user defaults.
Domain& userDefaults();

}  // namespace platform::prefs
