#pragma once

// The build tools paint without a display. Qt's offscreen platform still
// wants a private runtime directory, which a build machine or container
// often lacks; a temporary one keeps the build log free of warnings.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

inline void useOffscreenPlatform(QTemporaryDir& runtimeDir)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
}
