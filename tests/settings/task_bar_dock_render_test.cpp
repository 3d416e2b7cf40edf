// The Task Bar and Dock panes as a person sees them: English and Chinese,
// light and dark. With QUORVEL_PANE_SCREENSHOT_DIR set to a folder, each
// pane's four pictures are written there as one image
// (scripts/render_settings_screenshots.sh makes docs/settings-task-bar.png
// and docs/settings-dock.png this way).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "core/localization.h"
#include "settings/settings_view.h"
#include "settings_test_support.h"
#include "windows/blacklist_store.h"

namespace {

constexpr QSize viewSize(720, 640);

// As a person on a Linux desktop sees them.
class PaneRenderTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        useLinuxDesktopTraits(*sim);
    }
    QImage render(SettingsCategory category, AppLanguage language, bool dark) {
        setSettingsLook(*sim, language, dark);
        return renderSettingsView(viewSize, category);
    }
};

TEST_F(PaneRenderTest, TaskBarAndDockPanesInEnglishAndChineseLightAndDark) {
    // One hidden application, so the hidden list shows a row.
    sim->addBundle(QStringLiteral("/Applications/Mail.app"), QStringLiteral("org.example.mail"));
    BlacklistStore::shared().add(QStringLiteral("org.example.mail"));
    struct Pane {
        SettingsCategory category;
        const char* file;
    };
    for (const Pane pane : {Pane{SettingsCategory::taskBar, "settings-task-bar.png"},
                            Pane{SettingsCategory::dock, "settings-dock.png"}}) {
        SCOPED_TRACE(pane.file);
        std::vector<QImage> images;
        for (const bool dark : {false, true})
            for (const AppLanguage language : {AppLanguage::english, AppLanguage::simplifiedChinese}) {
                SCOPED_TRACE(testing::Message() << "dark " << dark << " language " << int(language));
                QImage img = render(pane.category, language, dark);
                ASSERT_EQ(img.size(), viewSize);
                const double background = luminance(img.pixel(viewSize.width() - 10, viewSize.height() - 10));
                if (dark)
                    EXPECT_LT(background, 90);
                else
                    EXPECT_GT(background, 180);
                EXPECT_GT(inkPixels(img, QRect(175, 8, 300, 30)), 20) << "no title";
                EXPECT_GT(inkPixels(img, QRect(175, 40, 540, 200)), 200) << "no rows";
                images.push_back(img);
            }
        // Language changes what is written, appearance how; the panes differ.
        EXPECT_NE(images[0], images[1]);
        EXPECT_NE(images[0], images[2]);
        if (const QByteArray dir = qgetenv("QUORVEL_PANE_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QImage sheet(viewSize.width() * 2 + 10, viewSize.height() * 2 + 10, QImage::Format_ARGB32);
            sheet.fill(QColor(128, 128, 128));
            QPainter p(&sheet);
            // English left, Chinese right; light above dark.
            for (int i = 0; i < 4; ++i)
                p.drawImage((i % 2) * (viewSize.width() + 10), (i / 2) * (viewSize.height() + 10),
                            images[std::size_t(i)]);
            p.end();
            ASSERT_TRUE(sheet.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromUtf8(pane.file))));
        }
    }
}

}  // namespace
