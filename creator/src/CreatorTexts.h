#pragma once

#include <QString>

namespace creator {

// The caption of every plain message box of the creator.
inline const QString AppTitle = QStringLiteral("Ravlen");
// The caption of the save questions.
inline const QString WarningTitle = QStringLiteral("Warning");
// The window caption is this prefix followed directly by the project's name.
inline const QString CaptionPrefix = QStringLiteral("QEV CD Menu Creator - ");

} // namespace creator
