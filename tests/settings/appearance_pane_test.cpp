// The Appearance pane: what it shows for stored values, what it writes, the
// two pushes (theme, height), and the start-button chooser with its crop sheet.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <cmath>

#include "platform/notification_center.h"
#include "settings/appearance_pane.h"
#include "settings/pet_settings_preview.h"
#include "settings/start_icon_crop_sheet.h"
#include "settings_test_support.h"
#include "taskbar/pet/start_icon_store.h"
#include "windows/bar_metrics.h"

namespace keys = settings::keys;

namespace {

class AppearancePaneTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(support.isValid());
        store = std::make_unique<StartIconStore>(defaults(), support.path());
    }
    void TearDown() override {
        AppearancePane::setImageChooser({});
        store.reset();
        SettingsTest::TearDown();
    }
    // Every stored key and value, to compare before and after.
    QVariantMap snapshot() {
        QVariantMap all;
        for (const auto& entry : settings::keyTable())
            if (auto v = defaults().value(entry.key)) all.insert(entry.key, *v);
        return all;
    }
    static QImage picture(int w, int h, QColor c = Qt::green) {
        QImage img(w, h, QImage::Format_ARGB32);
        img.fill(c);
        return img;
    }
    // The names of the chooser's selected tiles.
    static QStringList selectedTiles(const AppearancePane& pane) {
        QStringList out;
        for (auto* tile : pane.findChildren<IconTile*>())
            if (tile->isSelected()) out << tile->objectName();
        out.sort();
        return out;
    }

    QTemporaryDir support;
    std::unique_ptr<StartIconStore> store;
};

TEST_F(AppearancePaneTest, NothingStoredShowsTheDefaultsAndWritesNothing) {
    AppearancePane pane(store.get());
    EXPECT_EQ(pane.barHeightPicker()->currentText(), QStringLiteral("Medium"));
    EXPECT_EQ(pane.themePicker()->currentText(), QStringLiteral("Follow System"));
    EXPECT_EQ(pane.transparencySlider()->value(), 2);
    for (SelectionColor c : AppearancePane::swatchOrder())
        EXPECT_EQ(pane.swatch(c)->isSelected(), c == SelectionColor::blue) << rawValue(c).toStdString();
    EXPECT_EQ(selectedTiles(pane), QStringList{QStringLiteral("square.grid.2x2.fill")});
    EXPECT_TRUE(pane.chooseTile()->isVisibleTo(&pane));
    EXPECT_FALSE(pane.isRowShown(pane.followPointerSwitch()) || pane.isRowShown(pane.shapePicker()));
    for (QCheckBox* s : {pane.clock().showTime, pane.clock().showDate, pane.clock().showBattery})
        EXPECT_TRUE(s->isChecked());
    EXPECT_TRUE(snapshot().isEmpty());
}

TEST_F(AppearancePaneTest, TransparencyMapsLevelsToThreePositionsAndBack) {
    // Stored level (none: missing; a text is wrongly typed) → slider position.
    const std::pair<QVariant, int> shown[] = {{QVariant(), 2},          {QVariant(qint64(0)), 2}, {QVariant(qint64(1)), 1},
                                              {QVariant(qint64(2)), 1}, {QVariant(qint64(3)), 2}, {QVariant(qint64(4)), 3},
                                              {QVariant(qint64(5)), 3}, {QVariant(qint64(9)), 2}, {QVariant(QStringLiteral("5")), 2}};
    for (const auto& [stored, position] : shown) {
        SCOPED_TRACE(stored.toString().toStdString());
        if (stored.isValid()) defaults().set(keys::appearanceTransparency, stored);
        else defaults().remove(keys::appearanceTransparency);
        AppearancePane pane(store.get());
        EXPECT_EQ(pane.transparencySlider()->value(), position);
    }
    // A slider position → the stored level: halves round away from zero, the ends clamp.
    const std::pair<double, qint64> stored[] = {{-3, 1},  {0.4, 1},   {1, 1},   {1.49, 1}, {1.5, 3}, {2, 3},
                                                {2.49, 3}, {2.5, 5}, {3, 5}, {7, 5},   {NAN, 3}};
    for (const auto& [position, level] : stored) EXPECT_EQ(AppearancePane::transparencyLevel(position), level) << position;

    // Moving the slider stores only 1, 3 or 5, from a stored 2 as well.
    defaults().setInteger(keys::appearanceTransparency, 2);
    AppearancePane pane(store.get());
    const std::pair<int, qint64> moves[] = {{2, 3}, {3, 5}, {1, 1}, {2, 3}};
    for (const auto& [position, level] : moves) {
        pane.transparencySlider()->setValue(position);
        EXPECT_EQ(defaults().integerValue(keys::appearanceTransparency), std::optional<qint64>(level));
    }
    pane.setTransparencySliderValue(2.5);
    EXPECT_EQ(defaults().integerValue(keys::appearanceTransparency), std::optional<qint64>(5));
    EXPECT_EQ(pane.transparencySlider()->value(), 3);
}

TEST_F(AppearancePaneTest, SwatchesShowTheColourTheStoredTextStandsFor) {
    const std::pair<std::optional<QString>, std::optional<SelectionColor>> cases[] = {
        {std::nullopt, SelectionColor::blue},
        {QStringLiteral("cyberGinger"), SelectionColor::cyberGinger},
        // A text that names no colour marks the one drawn in its place.
        {QStringLiteral("Cyan"), SelectionColor::blue},
        {QStringLiteral(" blue"), SelectionColor::blue},
        {QStringLiteral("purple"), SelectionColor::blue},
    };
    for (const auto& [text, selected] : cases) {
        SCOPED_TRACE(text.value_or(QStringLiteral("(nothing)")).toStdString());
        if (text) defaults().setString(keys::appearanceSelectionColor, *text);
        else defaults().remove(keys::appearanceSelectionColor);
        AppearancePane pane(store.get());
        for (SelectionColor c : AppearancePane::swatchOrder()) {
            EXPECT_EQ(pane.swatch(c)->isSelected(), selected == c) << rawValue(c).toStdString();
            EXPECT_EQ(pane.swatch(c)->isChecked(), selected == c);  // the spoken "selected"
        }
        // A click stores the case's raw text; the text stays as stored otherwise.
        EXPECT_EQ(defaults().stringValue(keys::appearanceSelectionColor), text);
        pane.swatch(SelectionColor::terminalGreen)->click();
        EXPECT_EQ(defaults().stringValue(keys::appearanceSelectionColor), QStringLiteral("terminalGreen"));
        EXPECT_TRUE(pane.swatch(SelectionColor::terminalGreen)->isSelected());
        // Clicking the chosen one again keeps it chosen.
        pane.swatch(SelectionColor::terminalGreen)->click();
        EXPECT_TRUE(pane.swatch(SelectionColor::terminalGreen)->isSelected());
    }
    AppearancePane pane(store.get());
    EXPECT_EQ(pane.swatch(SelectionColor::lightGray)->toolTip(), QStringLiteral("Neo Silver"));
    EXPECT_EQ(pane.swatch(SelectionColor::amber)->toolTip(), QStringLiteral("Orange red"));
}

TEST_F(AppearancePaneTest, CheckmarkIsBlackInTheDarkSchemeAndOnCyberGingerElseWhite) {
    for (const bool dark : {false, true}) {
        sim->setSystemAppearance(dark ? platform::Appearance::darkAqua : platform::Appearance::aqua);
        for (SelectionColor c : allCases<SelectionColor>()) {
            SCOPED_TRACE(testing::Message() << rawValue(c).toStdString() << " dark " << dark);
            SelectionSwatch swatch(c);
            swatch.setSelected(true);
            const QImage img = swatch.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            // The checkmark's bend, just under the disc's centre.
            const QColor mark = img.pixelColor(13, 17);
            const bool black = dark || c == SelectionColor::cyberGinger;
            EXPECT_EQ(SelectionSwatch::checkmarkColor(c, dark), black ? QColor(Qt::black) : QColor(Qt::white));
            if (black) EXPECT_LT(mark.lightness(), 60) << mark.name().toStdString();
            else EXPECT_GT(mark.lightness(), 200) << mark.name().toStdString();
        }
    }
}

TEST_F(AppearancePaneTest, HeightPostsOnceForEveryRealChangeAndThemeSetsTheAppearance) {
    int posts = 0;
    const int token = platform::NotificationCenter::defaultCenter().addObserver(
        BarMetrics::barHeightChangedNotification(), [&](const QString&) { ++posts; });
    defaults().setString(keys::appearanceBarHeight, QStringLiteral("huge"));
    AppearancePane pane(store.get());
    // The height the bar uses in its place.
    EXPECT_EQ(pane.barHeightPicker()->currentData(), QVariant(QStringLiteral("medium")));
    struct Step {
        int row;
        const char* stored;
        int posts;
    };
    // From a text that names no height any row is a change; a row again is none.
    for (const Step s : {Step{1, "medium", 1}, Step{1, "medium", 1}, Step{2, "tall", 2}, Step{0, "narrow", 3},
                         Step{0, "narrow", 3}}) {
        emit pane.barHeightPicker()->activated(s.row);
        EXPECT_EQ(defaults().stringValue(keys::appearanceBarHeight), QString::fromUtf8(s.stored));
        EXPECT_EQ(posts, s.posts) << s.stored;
    }
    platform::NotificationCenter::defaultCenter().removeObserver(token);

    using A = platform::Appearance;
    const std::pair<const char*, std::optional<A>> themes[] = {
        {"neoIndigo", A::darkAqua}, {"light", A::aqua},      {"dark", A::darkAqua}, {"neoCitrus", A::aqua},
        {"system", std::nullopt},   {"neoSilver", A::aqua}, {"neoBlush", A::aqua}, {"system", std::nullopt}};
    for (const auto& [raw, appearance] : themes) {
        const int row = pane.themePicker()->findData(QString::fromUtf8(raw));
        ASSERT_GE(row, 0) << raw;
        emit pane.themePicker()->activated(row);
        EXPECT_EQ(defaults().stringValue(keys::appearanceMode), QString::fromUtf8(raw));
        EXPECT_EQ(platform::application().appearance(), appearance) << raw;
    }
}

TEST_F(AppearancePaneTest, ChooserKeepsOneFaceAcrossSymbolPetPictureAndRemoval) {
    defaults().setBool(keys::appearancePetFollowsPointer, false);
    AppearancePane::setImageChooser([] { return std::optional(picture(600, 300)); });
    AppearancePane pane(store.get());
    auto applyPicked = [&] {
        pane.chooseTile()->click();
        ASSERT_NE(pane.presentedCropSheet(), nullptr);
        pane.presentedCropSheet()->applyButton()->click();
    };
    struct Step {
        const char* name;
        std::function<void()> act;
        QStringList selected;
        std::optional<StartPet> preview;
        bool shape;      // the shape picker shows
        bool picture;    // the picture's tile (not the choose tile) shows
        const char* symbol;  // null: none stored
    };
    const Step steps[] = {
        {"a pet", [&] { pane.petTile(StartPet::dog)->click(); }, {QStringLiteral("dog")}, StartPet::dog, false, false, nullptr},
        {"another pet replaces the card", [&] { pane.petTile(StartPet::mouse)->click(); }, {QStringLiteral("mouse")},
         StartPet::mouse, false, false, nullptr},
        {"the same pet again", [&] { pane.petTile(StartPet::mouse)->click(); }, {QStringLiteral("mouse")},
         StartPet::mouse, false, false, nullptr},
        {"a symbol clears the pet", [&] { pane.symbolTile(QStringLiteral("square.stack.fill"))->click(); },
         {QStringLiteral("square.stack.fill")}, std::nullopt, false, false, "square.stack.fill"},
        {"a pet again", [&] { pane.petTile(StartPet::cat)->click(); }, {QStringLiteral("cat")}, StartPet::cat, false,
         false, "square.stack.fill"},
        {"a picture clears the pet", applyPicked, {QStringLiteral("customImage")}, std::nullopt, true, true,
         "square.stack.fill"},
        {"a pet turns the picture off and keeps it", [&] { pane.petTile(StartPet::dog)->click(); },
         {QStringLiteral("dog")}, StartPet::dog, false, true, "square.stack.fill"},
        {"the picture again", [&] { pane.customImageTile()->click(); }, {QStringLiteral("customImage")}, std::nullopt,
         true, true, "square.stack.fill"},
        {"removed: the stored symbol again", [&] { pane.removeButton()->click(); }, {QStringLiteral("square.stack.fill")},
         std::nullopt, false, false, "square.stack.fill"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.act();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(selectedTiles(pane), s.selected);
        EXPECT_EQ(store->pet(), s.preview);
        ASSERT_EQ(pane.petPreview() != nullptr, s.preview.has_value());
        if (s.preview) {
            EXPECT_TRUE(pane.petTile(*s.preview)->isChecked());  // spoken as selected
            EXPECT_EQ(pane.petPreview()->pet(), *s.preview);
            EXPECT_EQ(pane.petPreview()->nameLabel()->text(), QString::fromUtf8(PetSettingsPreview::name(*s.preview)));
            // The switches show again with the values they kept.
            EXPECT_TRUE(pane.isRowShown(pane.followPointerSwitch()));
            EXPECT_FALSE(pane.followPointerSwitch()->isChecked());
            EXPECT_TRUE(pane.idleMotionSwitch()->isChecked());
        }
        EXPECT_EQ(pane.isRowShown(pane.followPointerSwitch()), s.preview.has_value());
        EXPECT_EQ(pane.isRowShown(pane.shapePicker()), s.shape);
        EXPECT_EQ(pane.customImageTile()->isVisibleTo(&pane), s.picture);
        EXPECT_EQ(pane.chooseTile()->isVisibleTo(&pane), !s.picture);
        EXPECT_EQ(defaults().stringValue(keys::appearanceStartIconSymbol),
                  s.symbol ? std::optional(QString::fromUtf8(s.symbol)) : std::nullopt);
        EXPECT_EQ(pane.picked(), std::nullopt);
    }
    // The shape picker sets the store's shape.
    applyPicked();
    pane.shapeButton(StartIconShape::circle)->click();
    EXPECT_EQ(store->shape(), StartIconShape::circle);
    EXPECT_EQ(defaults().stringValue(keys::appearanceStartIconShape), QStringLiteral("circle"));
    // A symbol the bar cannot draw marks the default it draws instead.
    defaults().setString(keys::appearanceStartIconSymbol, QStringLiteral("star.fill"));
    pane.petTile(StartPet::cat)->click();
    pane.selectSymbol(QStringLiteral("star.fill"));
    EXPECT_EQ(selectedTiles(pane), QStringList{QStringLiteral("square.grid.2x2.fill")});
}

TEST_F(AppearancePaneTest, CancellingTheSheetOrThePanelLeavesEverythingAsItWas) {
    store->setPet(StartPet::dog);
    const QVariantMap before = snapshot();
    std::optional<QImage> next = picture(300, 500);
    AppearancePane::setImageChooser([&] { return next; });
    AppearancePane pane(store.get());
    struct Way {
        const char* name;
        std::function<void(StartIconCropSheet&)> cancel;
    };
    const Way ways[] = {{"Cancel", [](StartIconCropSheet& s) { s.cancelButton()->click(); }},
                        {"Escape", [](StartIconCropSheet& s) { QTest::keyClick(&s, Qt::Key_Escape); }}};
    QUuid lastId;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        pane.pickImage();
        ASSERT_TRUE(pane.picked());
        EXPECT_NE(pane.picked()->id, lastId);  // every pick is a new sheet
        lastId = pane.picked()->id;
        ASSERT_NE(pane.presentedCropSheet(), nullptr);
        way.cancel(*pane.presentedCropSheet());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(pane.picked(), std::nullopt);
        EXPECT_EQ(pane.presentedCropSheet(), nullptr);
        EXPECT_EQ(store->pet(), std::optional(StartPet::dog));
        EXPECT_FALSE(store->customImage());
        EXPECT_EQ(snapshot(), before);
    }
    // A cancelled panel or an unreadable file: no sheet.
    next.reset();
    pane.pickImage();
    EXPECT_EQ(pane.presentedCropSheet(), nullptr);
    EXPECT_EQ(snapshot(), before);
}

// ---- crop sheet ---------------------------------------------------------------

TEST_F(AppearancePaneTest, CropOffsetsStayWithinThePicture) {
    struct Case {
        const char* name;
        QSize picture;
        std::function<void(StartIconCropSheet&)> act;
        QSizeF offset;
    };
    auto drag = [](QSizeF by) { return [by](StartIconCropSheet& s) { s.dragChanged(by); s.dragEnded(); }; };
    const Case cases[] = {
        {"square at zoom 1 does not move", {400, 400}, drag({80, -60}), {0, 0}},
        {"wide moves only across, by half its overhang", {800, 400}, drag({1000, 70}), {110, 0}},
        {"tall moves only up and down", {300, 900}, drag({40, 40}), {0, 40}},
        {"a second drag continues from the first",
         {800, 400},
         [](StartIconCropSheet& s) {
             s.dragChanged({30, 0});
             s.dragEnded();
             s.dragChanged({25, 0});
         },
         {55, 0}},
        {"past the edge, then back from there",
         {800, 400},
         [](StartIconCropSheet& s) {
             s.dragChanged({500, 0});
             s.dragEnded();
             s.dragChanged({-20, 0});
         },
         {90, 0}},
        {"zoom back from 4 pulls a corner in",
         {400, 400},
         [](StartIconCropSheet& s) {
             s.setZoom(4);
             s.dragChanged({-2000, 2000});
             s.dragEnded();
             EXPECT_EQ(s.offset(), QSizeF(-330, 330));
             s.setZoom(1);
             EXPECT_EQ(s.dragStart(), QSizeF(0, 0));
         },
         {0, 0}},
        {"zoom 2 on a wide picture", {800, 400}, [](StartIconCropSheet& s) { s.setZoom(2); s.dragChanged({-1000, 1000}); },
         {-330, 110}},
        {"a picture of no size counts as one point", {0, 0}, [](StartIconCropSheet& s) { s.dragChanged({9, 9}); }, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage img = c.picture.isEmpty() ? QImage() : picture(c.picture.width(), c.picture.height());
        StartIconCropSheet sheet(img, StartIconShape::roundedSquare, {}, {});
        c.act(sheet);
        EXPECT_NEAR(sheet.offset().width(), c.offset.width(), 1e-9);
        EXPECT_NEAR(sheet.offset().height(), c.offset.height(), 1e-9);
    }
}

TEST_F(AppearancePaneTest, ApplyRendersTheVisibleSquareWithTheChosenShape) {
    // Three bands across: only the middle one is visible untouched.
    QImage wide(600, 200, QImage::Format_ARGB32);
    wide.fill(Qt::red);
    for (int y = 0; y < 200; ++y)
        for (int x = 200; x < 400; ++x) wide.setPixelColor(x, y, Qt::green);
    for (int y = 0; y < 200; ++y)
        for (int x = 400; x < 600; ++x) wide.setPixelColor(x, y, Qt::blue);
    struct Case {
        const char* name;
        std::function<void(StartIconCropSheet&)> act;
        QColor left, right;
        StartIconShape shape;
    };
    const Case cases[] = {
        {"untouched: centred", [](StartIconCropSheet&) {}, Qt::green, Qt::green, StartIconShape::circle},
        {"dragged to the right end", [](StartIconCropSheet& s) { s.dragChanged({-1000, 0}); }, Qt::blue, Qt::blue,
         StartIconShape::circle},
        {"another shape, same pixels", [](StartIconCropSheet& s) { s.shapeButton(StartIconShape::square)->click(); },
         Qt::green, Qt::green, StartIconShape::square},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<std::pair<QImage, StartIconShape>> used;
        int cancels = 0;
        StartIconCropSheet sheet(wide, StartIconShape::circle, [&](const QImage& i, StartIconShape s) { used = {i, s}; },
                                 [&] { ++cancels; });
        sheet.show();
        EXPECT_EQ(sheet.shape(), StartIconShape::circle);  // the caller's shape when shown
        c.act(sheet);
        // Return presses Apply.
        QTest::keyClick(&sheet, Qt::Key_Return);
        ASSERT_TRUE(used);
        EXPECT_EQ(cancels, 0);
        EXPECT_EQ(used->first.size(), QSize(440, 440));
        EXPECT_EQ(used->second, c.shape);
        // The mask is not applied to the pixels: the corners are filled.
        EXPECT_EQ(used->first.pixelColor(2, 2).rgb(), c.left.rgb());
        EXPECT_EQ(used->first.pixelColor(437, 437).rgb(), c.right.rgb());
    }
}

TEST_F(AppearancePaneTest, CropSheetAndPictureChooserSpeakTheChosenLanguage) {
    defaults().setString(keys::appLanguage, QStringLiteral("simplifiedChinese"));
    EXPECT_TRUE(AppearancePane::imageFileFilter().startsWith(QStringLiteral("图像 (*.")))
        << AppearancePane::imageFileFilter().toStdString();
    StartIconCropSheet sheet(picture(10, 10), StartIconShape::square, {}, {});
    EXPECT_EQ(sheet.applyButton()->text(), QStringLiteral("应用"));
    EXPECT_EQ(sheet.shapeButton(StartIconShape::roundedSquare)->text(), QStringLiteral("圆角方形"));
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("裁剪图标"));
    defaults().setString(keys::appLanguage, QStringLiteral("english"));
    EXPECT_EQ(sheet.applyButton()->text(), QStringLiteral("Apply"));
    EXPECT_TRUE(AppearancePane::imageFileFilter().startsWith(QStringLiteral("Images (*.")));
}

}  // namespace
