#pragma once
// The sidebar badge of a category: its symbol drawn white on a rounded
// square of the category's colour.
#include <QIcon>
#include <QPainter>
#include <QRectF>

#include "settings/settings_category.h"

QIcon categoryBadge(SettingsCategory category);
// Draws the badge into a 20 x 20 box (scaled to `rect`).
void paintCategoryBadge(QPainter& painter, SettingsCategory category, const QRectF& rect);
// The orange warning triangle of the settings' warnings.
void paintWarningSymbol(QPainter& painter, const QRectF& rect, const QColor& color);
QIcon warningIcon();
