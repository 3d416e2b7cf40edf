// The General pane as a person sees it: English and Chinese, light and dark.
// With QUORVEL_SETTINGS_SCREENSHOT set to a path, the four pictures are
// written there as one image (scripts/render_settings_screenshots.sh makes
// docs/settings-general.png this way).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/localization.h"
#include "settings/settings_view.h"
#include "settings_test_support.h"

namespace {

// As a person on a Linux desktop sees it.
class SettingsRenderTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        useLinuxDesktopTraits(*sim);
    }
    QImage render(AppLanguage language, bool dark) {
        setSettingsLook(*sim, language, dark);
        return renderSettingsView(QSize(720, 470));
    }
};

TEST_F(SettingsRenderTest, GeneralPaneInEnglishAndChineseLightAndDark) {
    struct Case {
        AppLanguage language;
        bool dark;
    };
    const Case cases[] = {{AppLanguage::english, false},
                          {AppLanguage::english, true},
                          {AppLanguage::simplifiedChinese, false},
                          {AppLanguage::simplifiedChinese, true}};
    std::vector<QImage> images;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "dark " << c.dark << " language " << int(c.language));
        QImage img = render(c.language, c.dark);
        ASSERT_EQ(img.size(), QSize(720, 470));
        // The pane's background follows the appearance, and its text stands out from it.
        const QRgb paneBackground = img.pixel(700, 460);
        if (c.dark)
            EXPECT_LT(luminance(paneBackground), 90);
        else
            EXPECT_GT(luminance(paneBackground), 180);
        // The title and the first rows have text in them.
        EXPECT_GT(inkPixels(img, QRect(175, 8, 300, 30)), 20) << "no title";
        EXPECT_GT(inkPixels(img, QRect(175, 40, 540, 200)), 200) << "no rows";
        // The four sidebar badges are drawn in their colours.
        EXPECT_GT(inkPixels(img, QRect(4, 4, 40, 140)), 100) << "no badges";
        images.push_back(img);
    }
    // The language changes what is written, the appearance how.
    EXPECT_NE(images[0], images[2]);
    EXPECT_NE(images[0], images[1]);

    if (const QByteArray out = qgetenv("QUORVEL_SETTINGS_SCREENSHOT"); !out.isEmpty()) {
        QImage sheet(720 * 2 + 10, 470 * 2 + 10, QImage::Format_ARGB32);
        sheet.fill(QColor(128, 128, 128));
        QPainter p(&sheet);
        for (int i = 0; i < 4; ++i) p.drawImage((i / 2) * 730, (i % 2) * 480, images[std::size_t(i)]);
        p.end();
        ASSERT_TRUE(sheet.save(QString::fromLocal8Bit(out)));
    }
}

}  // namespace
