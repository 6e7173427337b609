#pragma once
// The platform's file dialogs, behind an interface so that tests answer them.
//
// Filters are in Qt's form: "Midi Files (*.mid *.MID);;All Files (*)".

#include <QString>

class QWidget;

// "ogg" of "Android ringtone (*.ogg)"; empty for "All Files (*)".
[[nodiscard]] QString SuffixOfFilter(const QString& filter);
// `path` with the suffix of `filter` added when its file name has no extension.
[[nodiscard]] QString WithSuffixOfFilter(const QString& path, const QString& filter);

class CFileChooser {
public:
    CFileChooser() = default;
    CFileChooser(const CFileChooser&) = delete;
    CFileChooser& operator=(const CFileChooser&) = delete;
    virtual ~CFileChooser() = default;

    // An open dialog for one existing file, owned by `owner`. defaultSuffix (without
    // the dot, may be empty) completes a typed name without one. False when the user
    // cancels; otherwise `path` is the chosen file's absolute path.
    [[nodiscard]] virtual bool GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                                               const QString& defaultSuffix, QString& path) = 0;
    // A save dialog that starts at `initialPath` and asks before it lets the user pick
    // an existing file. A typed name without an extension takes the chosen file type's
    // (defaultSuffix until one is chosen). False when the user cancels; pChosenFilter,
    // when given, receives the file type chosen (one of `filter`'s entries).
    [[nodiscard]] virtual bool GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                                               const QString& defaultSuffix, const QString& initialPath,
                                               QString& path, QString* pChosenFilter = nullptr) = 0;
};
