#pragma once
// Sets (or, given nothing, unsets) an environment variable for the life of
// the object; the old value, or its absence, comes back afterwards.
#include <QByteArray>
#include <QtGlobal>
#include <optional>

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentOverride() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};
