#pragma once
// Updates: whether a check is possible, a user-started check, and the
// bracket around an installation (stop the workspace before it, start it
// again when the cycle ends without installing).
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Updater;
}

namespace services {

namespace UpdateFeedCheck {
// A feed is usable only over https, with a host, without user, password,
// query or fragment, with "/<channel>/v<major>/" in its path, and with a key
// that is standard base64 of exactly 32 bytes.
bool isValidFeedURL(const std::optional<QString>& feed, const std::optional<QString>& publicKey, const QString& channel,
                    int majorVersion);
}  // namespace UpdateFeedCheck

class UpdateController : public QObject {
    Q_OBJECT
public:
    // The release channel and major version this build checks its feed for.
    static QString releaseChannel();
    static int majorVersion();

    UpdateController();
    ~UpdateController() override;
    static UpdateController& shared();

    bool canCheckForUpdates() const { return canCheckForUpdates_; }
    bool isPreparingInstallation() const { return isPreparingInstallation_; }
    bool isTerminating() const { return isTerminating_; }
    bool hasUpdater() const { return updater_ != nullptr; }
    void setCanCheckForUpdates(bool value);
    void setPreparingInstallation(bool value);
    // The program is quitting: the hooks are not called any more.
    void markTerminating();

    // Once, at launch: checks the feed and, when it is usable and an update
    // framework exists, starts the updater. Otherwise updates stay disabled.
    void setUp(std::function<void()> prepareForInstallation, std::function<void()> resumeAfterInstallation);
    // Asks the updater to check (its own interface shows); nothing without one.
    void checkForUpdates();

    // The updater's calls (main thread).
    void willInstallUpdate();
    void didAbortWithError();
    void didFinishUpdateCycle();

signals:
    void canCheckForUpdatesChanged(bool value);
    void isPreparingInstallationChanged(bool value);

private:
    void updateCycleEnded();
    bool canCheckForUpdates_ = false;
    bool isPreparingInstallation_ = false;
    std::shared_ptr<platform::Updater> updater_;
    std::function<void()> prepareForInstallation_;
    std::function<void()> resumeAfterInstallation_;
    bool isTerminating_ = false;
    // Lets calls from the updater's threads find out, on the main thread,
    // whether this controller still exists.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace services
