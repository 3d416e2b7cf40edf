#include "services/update_controller.h"

#include <QUrl>

#include "platform/platform.h"

#ifndef QUORVEL_RELEASE_CHANNEL
#define QUORVEL_RELEASE_CHANNEL "stable"
#endif
#ifndef QUORVEL_VERSION_MAJOR
#define QUORVEL_VERSION_MAJOR 0
#endif

namespace services {
namespace {

// Standard base64: the alphabet with '+' and '/', padded to a multiple of
// four with at most two '='; no whitespace or other characters.
std::optional<QByteArray> decodeStandardBase64(const QString& text) {
    if (text.isEmpty() || text.size() % 4 != 0) return std::nullopt;
    int padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'=') {
            ++padding;
            continue;
        }
        if (padding > 0) return std::nullopt;  // data after padding
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                        c == u'/';
        if (!ok) return std::nullopt;
    }
    if (padding > 2) return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result) return std::nullopt;
    return *result;
}

std::optional<QString> textInfoValue(const QString& key) {
    auto value = platform::bundles().mainInfoValue(key);
    if (!value || value->typeId() != QMetaType::QString) return std::nullopt;
    return value->toString();
}

}  // namespace

bool UpdateFeedCheck::isValidFeedURL(const std::optional<QString>& feed, const std::optional<QString>& publicKey,
                                     const QString& channel, int majorVersion) {
    if (!feed || feed->isEmpty()) return false;
    const QUrl url(*feed, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return false;
    // The scheme as written, case and all ("HTTPS" is not accepted).
    const qsizetype colon = feed->indexOf(u':');
    if (colon < 0 || feed->left(colon) != QStringLiteral("https")) return false;
    if (url.host().isEmpty()) return false;
    const QString authority = url.authority(QUrl::FullyEncoded);
    if (authority.contains(u'@') || !url.userName().isEmpty() || !url.password().isEmpty()) return false;
    if (url.hasQuery() || url.hasFragment()) return false;
    const QString segment = QStringLiteral("/") + channel + QStringLiteral("/v") + QString::number(majorVersion) + u'/';
    if (!url.path(QUrl::FullyDecoded).contains(segment)) return false;
    if (!publicKey) return false;
    auto key = decodeStandardBase64(*publicKey);
    return key && key->size() == 32;
}

QString UpdateController::releaseChannel() { return QStringLiteral(QUORVEL_RELEASE_CHANNEL); }
int UpdateController::majorVersion() { return QUORVEL_VERSION_MAJOR; }

UpdateController::UpdateController() = default;

UpdateController::~UpdateController() {
    if (updater_) updater_->setCanCheckObserver(nullptr);
}

UpdateController& UpdateController::shared() {
    static platform::SharedInstance<UpdateController> instance;
    return *instance.get([] { return std::make_shared<UpdateController>(); });
}

void UpdateController::setCanCheckForUpdates(bool value) {
    if (canCheckForUpdates_ == value) return;
    canCheckForUpdates_ = value;
    emit canCheckForUpdatesChanged(value);
}

void UpdateController::setPreparingInstallation(bool value) {
    if (isPreparingInstallation_ == value) return;
    isPreparingInstallation_ = value;
    emit isPreparingInstallationChanged(value);
}

void UpdateController::markTerminating() {
    isTerminating_ = true;
    setPreparingInstallation(false);
}

void UpdateController::setUp(std::function<void()> prepareForInstallation, std::function<void()> resumeAfterInstallation) {
    if (updater_) return;
    prepareForInstallation_ = std::move(prepareForInstallation);
    resumeAfterInstallation_ = std::move(resumeAfterInstallation);
    if (!UpdateFeedCheck::isValidFeedURL(textInfoValue(QStringLiteral("SUFeedURL")),
                                         textInfoValue(QStringLiteral("SUPublicEDKey")), releaseChannel(), majorVersion()))
        return;
    auto updater = platform::updater();
    if (!updater) return;  // no update framework on this system

    std::weak_ptr<int> alive = alive_;
    // The value may change on any thread; it is applied on the main thread.
    auto mirror = [this, alive](bool value) {
        platform::MainQueue::async([this, alive, value] {
            if (!alive.expired()) setCanCheckForUpdates(value);
        });
    };
    updater->setCanCheckObserver(mirror);
    mirror(updater->canCheckForUpdates());

    platform::UpdaterDelegate delegate;
    delegate.willInstallUpdate = [this, alive] {
        if (!alive.expired()) willInstallUpdate();
    };
    delegate.didAbort = [this, alive] {
        if (!alive.expired()) didAbortWithError();
    };
    delegate.didFinishUpdateCycle = [this, alive] {
        if (!alive.expired()) didFinishUpdateCycle();
    };
    if (!updater->start(std::move(delegate))) {
        updater->setCanCheckObserver(nullptr);
        alive_ = std::make_shared<int>(0);  // drop a value already on its way
        setCanCheckForUpdates(false);
        return;
    }
    updater_ = std::move(updater);
}

void UpdateController::checkForUpdates() {
    if (updater_) updater_->checkForUpdates();
}

void UpdateController::willInstallUpdate() {
    if (isPreparingInstallation_ || isTerminating_) return;
    setPreparingInstallation(true);
    if (prepareForInstallation_) prepareForInstallation_();
}

void UpdateController::didAbortWithError() { updateCycleEnded(); }
void UpdateController::didFinishUpdateCycle() { updateCycleEnded(); }

void UpdateController::updateCycleEnded() {
    if (!isPreparingInstallation_ || isTerminating_) return;
    setPreparingInstallation(false);
    if (resumeAfterInstallation_) resumeAfterInstallation_();
}

}  // namespace services
