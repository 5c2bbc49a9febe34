#pragma once

#include <QIcon>

// The text editor's toolbar and menu icons, drawn here so that the editor looks the same on every desktop.
enum class EditorIcon { New, Open, Save, SaveAs, Close, Cut, Copy, Paste, Font, Bold, Italic, Underline, Index, Help };

[[nodiscard]] QIcon editorIcon(EditorIcon which);
