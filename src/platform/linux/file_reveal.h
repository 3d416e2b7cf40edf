#pragma once
// Shows a file in the user's file manager, as a desktop user expects: the
// file manager's own "show items" request on the session bus
// (org.freedesktop.FileManager1, which selects the file in its folder),
// else the folder opened with xdg-open. Never through a shell.
#include <QString>
#include <functional>

namespace platform::linux_backend {

// False when no file manager could be asked (no FileManager1 service and no
// xdg-open), so the caller can tell the user. When xdg-open runs but then
// reports that nothing could open the folder, `failed` is called later on
// the main thread (the caller's thread, which runs an event loop).
bool revealInFileManager(const QString& path, std::function<void()> failed = {});

}  // namespace platform::linux_backend
