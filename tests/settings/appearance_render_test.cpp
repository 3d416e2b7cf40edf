// The Appearance pane and the crop sheet as a person sees them: each face of
// the start button, light and dark, English and Chinese. With
// QUORVEL_PANE_SCREENSHOT_DIR set, docs/settings-appearance.png and
// docs/settings-crop-sheet.png are written there
// (scripts/render_settings_screenshots.sh).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "settings/appearance_pane.h"
#include "settings/settings_view.h"
#include "settings/start_icon_crop_sheet.h"
#include "settings_test_support.h"
#include "taskbar/pet/start_icon_store.h"

namespace {

constexpr QSize viewSize(720, 900);

class AppearanceRenderTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(home.isValid());
        // The shared store keeps its picture here, not in the user's folder.
        previousHome = qgetenv("QUORVEL_HOME");
        qputenv("QUORVEL_HOME", home.path().toUtf8());
        StartIconStore::resetShared();
    }
    void TearDown() override {
        StartIconStore::resetShared();
        qputenv("QUORVEL_HOME", previousHome);
        SettingsTest::TearDown();
    }
    void setLook(AppLanguage language, bool dark) { setSettingsLook(*sim, language, dark); }
    QImage renderPane() { return renderSettingsView(viewSize, SettingsCategory::appearance); }
    static QImage photo() {
        // A sun over the sea.
        QImage img(640, 400, QImage::Format_ARGB32);
        img.fill(QColor(250, 150, 80));
        QPainter p(&img);
        p.fillRect(0, 260, 640, 140, QColor(20, 70, 110));
        p.setBrush(QColor(255, 220, 120));
        p.drawEllipse(QPointF(380, 250), 60, 60);
        return img;
    }
    static void save(const std::vector<QImage>& images, int columns, const char* file) {
        const QByteArray dir = qgetenv("QUORVEL_PANE_SCREENSHOT_DIR");
        if (dir.isEmpty() || images.empty()) return;
        const QSize cell = images.front().size();
        const int rows = int(images.size() + columns - 1) / columns;
        QImage sheet(cell.width() * columns + 10 * (columns - 1), cell.height() * rows + 10 * (rows - 1),
                     QImage::Format_ARGB32);
        sheet.fill(QColor(128, 128, 128));
        QPainter p(&sheet);
        for (std::size_t i = 0; i < images.size(); ++i)
            p.drawImage(int(i % columns) * (cell.width() + 10), int(i / columns) * (cell.height() + 10), images[i]);
        p.end();
        ASSERT_TRUE(sheet.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromUtf8(file))));
    }

    QTemporaryDir home;
    QByteArray previousHome;
};

TEST_F(AppearanceRenderTest, PaneWithEachFaceInBothLanguagesAndSchemes) {
    enum class Face { symbol, pet, picture };
    struct Variant {
        Face face;
        AppLanguage language;
        bool dark;
    };
    // Symbol face in all four looks, then a pet and a picture in two each.
    const Variant variants[] = {
        {Face::symbol, AppLanguage::english, false},          {Face::symbol, AppLanguage::simplifiedChinese, false},
        {Face::symbol, AppLanguage::english, true},           {Face::symbol, AppLanguage::simplifiedChinese, true},
        {Face::pet, AppLanguage::english, false},             {Face::pet, AppLanguage::simplifiedChinese, true},
        {Face::picture, AppLanguage::simplifiedChinese, false}, {Face::picture, AppLanguage::english, true},
    };
    std::vector<QImage> images;
    for (const Variant& v : variants) {
        SCOPED_TRACE(testing::Message() << "face " << int(v.face) << " language " << int(v.language) << " dark " << v.dark);
        setLook(v.language, v.dark);
        auto& store = StartIconStore::shared();
        switch (v.face) {
            case Face::symbol: store.clearCustomImage(); store.setPet(std::nullopt); break;
            case Face::pet: store.setPet(StartPet::cat); break;
            case Face::picture: {
                StartIconCropSheet crop(photo(), StartIconShape::circle, {}, {});
                store.setCustomImage(crop.canvas()->render(2), StartIconShape::circle);
                break;
            }
        }
        const QImage img = renderPane();
        ASSERT_EQ(img.size(), viewSize);
        EXPECT_EQ(luminance(img.pixel(viewSize.width() - 10, viewSize.height() - 10)) < 128, v.dark);
        EXPECT_GT(inkPixels(img, QRect(175, 40, 540, 300), 50), 400) << "no rows";
        images.push_back(img);
    }
    // Language changes the words, the scheme the colours, the face the section.
    EXPECT_NE(images[0], images[1]);
    EXPECT_NE(images[0], images[2]);
    EXPECT_NE(images[0], images[4]);
    save(images, 4, "settings-appearance.png");
}

TEST_F(AppearanceRenderTest, CropSheetShowsThePictureInItsMask) {
    std::vector<QImage> images;
    for (const auto& [language, dark] : {std::pair{AppLanguage::english, false}, std::pair{AppLanguage::simplifiedChinese, true}}) {
        setLook(language, dark);
        SettingsView view;  // the sheet takes the window's colours
        StartIconCropSheet sheet(photo(), dark ? StartIconShape::circle : StartIconShape::roundedSquare, {}, {}, 220,
                                 &view);
        sheet.setWindowFlag(Qt::Dialog);
        sheet.setPalette(view.palette());
        sheet.setAutoFillBackground(true);
        sheet.show();
        sheet.setZoom(1.5);
        sheet.dragChanged({-40, 10});
        QApplication::processEvents();
        QImage img(sheet.size(), QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        sheet.render(&img);
        // 280 wide; the viewport shows the picture, and outside its mask the sheet's background.
        EXPECT_EQ(img.width(), 280);
        const QPoint viewport = sheet.canvas()->mapTo(&sheet, QPoint(0, 0));
        const QColor centre = img.pixelColor(viewport + QPoint(110, 110));
        const QColor corner = img.pixelColor(viewport + QPoint(2, 2));
        const QColor window = view.palette().color(QPalette::Window);
        EXPECT_GT(std::abs(centre.lightness() - window.lightness()) + std::abs(centre.hue() - window.hue()), 20);
        EXPECT_LT(std::abs(corner.lightness() - window.lightness()), 8) << "the mask does not clip";
        images.push_back(img);
    }
    save(images, 2, "settings-crop-sheet.png");
}

}  // namespace
