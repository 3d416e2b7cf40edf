// The start button's pet and custom picture: loading rules, the exclusion
// of pet and picture, what is written when, and the picture file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/sim_fixture.h"
#include "qt_print.h"
#include "taskbar/pet/start_icon_store.h"

namespace {

class StartIconStoreTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        support = dir.filePath("Application Support");
    }
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }
    std::unique_ptr<StartIconStore> makeStore() { return std::make_unique<StartIconStore>(defaults(), support); }
    QString picturePath() const { return QDir(support).filePath("Sunquil/startIcon.png"); }
    void writePicture(QColor color) {
        QDir().mkpath(QDir(support).filePath("Sunquil"));
        QImage img(8, 8, QImage::Format_ARGB32);
        img.fill(color);
        ASSERT_TRUE(img.save(picturePath(), "png"));
    }
    std::vector<QString> prefWrites() const { return sim->logLines("prefs."); }
    static QImage square(QColor c) {
        QImage img(32, 32, QImage::Format_ARGB32);
        img.fill(c);
        return img;
    }

    QTemporaryDir dir;
    QString support;
};

TEST_F(StartIconStoreTest, LoadingRules) {
    struct Case {
        const char* name;
        QVariantMap stored;
        bool file;
        std::optional<StartPet> pet;
        StartIconShape shape;
        bool useCustom;
        bool picture;
    };
    const Case cases[] = {
        {"nothing stored", {}, false, std::nullopt, StartIconShape::roundedSquare, false, false},
        {"pet", {{"appearanceStartPet", "dog"}}, false, StartPet::dog, StartIconShape::roundedSquare, false, false},
        {"pet of another case", {{"appearanceStartPet", "Cat"}}, false, std::nullopt, StartIconShape::roundedSquare,
         false, false},
        {"shape", {{"appearanceStartIconShape", "circle"}}, false, std::nullopt, StartIconShape::circle, false, false},
        {"unknown shape", {{"appearanceStartIconShape", "Circle"}}, false, std::nullopt,
         StartIconShape::roundedSquare, false, false},
        {"shape of the wrong type", {{"appearanceStartIconShape", qint64(2)}}, false, std::nullopt,
         StartIconShape::roundedSquare, false, false},
        {"picture in use",
         {{"appearanceStartIconUseCustom", true}, {"appearanceStartIconCustomName", "startIcon.png"}}, true,
         std::nullopt, StartIconShape::roundedSquare, true, true},
        {"another name still reads startIcon.png",
         {{"appearanceStartIconUseCustom", true}, {"appearanceStartIconCustomName", "other.png"}}, true, std::nullopt,
         StartIconShape::roundedSquare, true, true},
        {"use custom without a name", {{"appearanceStartIconUseCustom", true}}, true, std::nullopt,
         StartIconShape::roundedSquare, false, false},
        {"name without a file",
         {{"appearanceStartIconUseCustom", true}, {"appearanceStartIconCustomName", "startIcon.png"}}, false,
         std::nullopt, StartIconShape::roundedSquare, false, false},
        {"pet wins over the picture",
         {{"appearanceStartPet", "mouse"},
          {"appearanceStartIconUseCustom", true},
          {"appearanceStartIconCustomName", "startIcon.png"}},
         true, StartPet::mouse, StartIconShape::roundedSquare, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& key : defaults().keys()) defaults().remove(key);
        QFile::remove(picturePath());
        for (auto it = c.stored.begin(); it != c.stored.end(); ++it) {
            QVariant v = it.value();
            if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::Bool || v.typeId() == QMetaType::LongLong)
                defaults().set(it.key(), v);
        }
        if (c.file) writePicture(Qt::green);
        sim->clearLog();
        auto store = makeStore();
        EXPECT_EQ(store->pet(), c.pet);
        EXPECT_EQ(store->shape(), c.shape);
        EXPECT_EQ(store->useCustom(), c.useCustom);
        EXPECT_EQ(store->customImage().has_value(), c.picture);
        EXPECT_TRUE(prefWrites().empty());  // loading writes nothing back
    }
    // The stored flag stays true although the pet is shown.
    EXPECT_EQ(defaults().boolValue("appearanceStartIconUseCustom"), std::optional(true));
}

TEST_F(StartIconStoreTest, PetAndPictureExcludeEachOther) {
    auto store = makeStore();
    store->setCustomImage(square(Qt::red), StartIconShape::circle);
    ASSERT_TRUE(store->useCustom());
    EXPECT_EQ(store->shape(), StartIconShape::circle);
    EXPECT_EQ(defaults().stringValue("appearanceStartIconCustomName"), std::optional<QString>("startIcon.png"));

    // Choosing a pet turns the picture off but keeps its file and name.
    store->setPet(StartPet::cat);
    EXPECT_FALSE(store->useCustom());
    EXPECT_EQ(defaults().boolValue("appearanceStartIconUseCustom"), std::optional(false));
    EXPECT_EQ(defaults().stringValue("appearanceStartPet"), std::optional<QString>("cat"));
    EXPECT_TRUE(QFile::exists(picturePath()));
    EXPECT_TRUE(defaults().contains("appearanceStartIconCustomName"));

    // Turning the picture on again removes the pet.
    store->setUseCustom(true);
    EXPECT_EQ(store->pet(), std::nullopt);
    EXPECT_FALSE(defaults().contains("appearanceStartPet"));

    // Storing a picture while a pet is set removes the pet too.
    store->setPet(StartPet::dog);
    store->setCustomImage(square(Qt::blue), StartIconShape::square);
    EXPECT_EQ(store->pet(), std::nullopt);
    EXPECT_FALSE(defaults().contains("appearanceStartPet"));
    EXPECT_TRUE(store->useCustom());
}

TEST_F(StartIconStoreTest, EqualAssignmentsWriteAndPublishNothing) {
    auto store = makeStore();
    store->setPet(StartPet::cat);
    store->setShape(StartIconShape::square);
    int changes = 0;
    QObject::connect(store.get(), &StartIconStore::changed, [&changes] { ++changes; });
    sim->clearLog();
    store->setPet(StartPet::cat);
    store->setShape(StartIconShape::square);
    store->setUseCustom(false);
    store->setCustomImageValue(std::nullopt);
    EXPECT_TRUE(prefWrites().empty());
    EXPECT_EQ(changes, 0);
    store->setPet(std::nullopt);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(prefWrites(), (std::vector<QString>{"prefs.remove app.quorvel.Quorvel appearanceStartPet"}));
}

TEST_F(StartIconStoreTest, PictureRoundTripsThroughItsFile) {
    {
        auto store = makeStore();
        store->setCustomImage(square(QColor(10, 200, 30)), StartIconShape::roundedSquare);
    }
    auto reloaded = makeStore();
    ASSERT_TRUE(reloaded->customImage());
    EXPECT_TRUE(reloaded->useCustom());
    EXPECT_EQ(reloaded->customImage()->size(), QSize(32, 32));
    EXPECT_EQ(QColor(reloaded->customImage()->pixel(5, 5)), QColor(10, 200, 30));
}

TEST_F(StartIconStoreTest, FailedWriteChangesNothingAndLeavesNoTemporaryFile) {
    auto store = makeStore();
    store->setCustomImage(square(Qt::red), StartIconShape::circle);
    store->setPet(StartPet::dog);
    const QImage before = *store->customImage();
    // Something that is not a file sits where the picture goes, so the
    // finished picture cannot be moved into place (this holds for root too).
    QFile::remove(picturePath());
    ASSERT_TRUE(QDir().mkpath(picturePath() + "/occupied"));
    sim->clearLog();
    const int beeps = sim->beepCount();
    store->setCustomImage(square(Qt::blue), StartIconShape::square);
    EXPECT_EQ(sim->beepCount(), beeps + 1);
    EXPECT_EQ(store->pet(), std::optional(StartPet::dog));
    EXPECT_EQ(store->shape(), StartIconShape::circle);
    EXPECT_FALSE(store->useCustom());
    EXPECT_EQ(*store->customImage(), before);
    EXPECT_TRUE(prefWrites().empty());
    bool logged = false;
    for (const QString& line : sim->systemLog())
        if (line.startsWith(QString::fromUtf8("Quorvel: 写自定义开始图标失败 "))) logged = true;
    EXPECT_TRUE(logged);
    QDir folder(QDir(support).filePath("Sunquil"));
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"startIcon.png"});
}

TEST_F(StartIconStoreTest, NoApplicationSupportFolderOrUnencodableImageBeeps) {
    // A file where the folder should be: no location can be made.
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartIconStore store(defaults(), dir.filePath("blocked/Application Support"));
    sim->clearLog();
    store.setCustomImage(square(Qt::red), StartIconShape::circle);
    EXPECT_EQ(sim->beepCount(), 1);
    EXPECT_FALSE(store.useCustom());
    EXPECT_TRUE(prefWrites().empty());

    auto ok = makeStore();
    ok->setCustomImage(QImage(), StartIconShape::circle);
    EXPECT_EQ(sim->beepCount(), 2);
    EXPECT_FALSE(ok->useCustom());

    // Clearing without a location still resets the key and the flags.
    defaults().setString("appearanceStartIconCustomName", "startIcon.png");
    store.clearCustomImage();
    EXPECT_FALSE(defaults().contains("appearanceStartIconCustomName"));
}

TEST_F(StartIconStoreTest, ClearingRemovesFileAndKeyAndIsQuietWithoutAFile) {
    auto store = makeStore();
    store->setCustomImage(square(Qt::red), StartIconShape::circle);
    store->clearCustomImage();
    EXPECT_FALSE(QFile::exists(picturePath()));
    EXPECT_FALSE(defaults().contains("appearanceStartIconCustomName"));
    EXPECT_FALSE(store->useCustom());
    EXPECT_FALSE(store->customImage());
    EXPECT_EQ(store->shape(), StartIconShape::circle);  // the shape stays

    const int beeps = sim->beepCount();
    defaults().setString("appearanceStartIconCustomName", "startIcon.png");
    store->clearCustomImage();
    EXPECT_FALSE(defaults().contains("appearanceStartIconCustomName"));
    EXPECT_EQ(sim->beepCount(), beeps);
}

}  // namespace
