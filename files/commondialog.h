#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace kolvane {

// What a save dialog chooses: a file to replace (it asks before it does), or
// one that results will be appended to (nothing to ask).
enum class SaveKind { Replace, Append };

// Shows the platform's open and save choosers. The window uses QtFileDialogs;
// tests script the answers, so every handler's paths run without a person.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The chosen full path, or nullopt when the user cancelled.
    virtual std::optional<QString> showOpen(QWidget* parent, const QString& start) = 0;
    virtual std::optional<QString> showSave(QWidget* parent, const QString& start,
                                            SaveKind kind) = 0;
};

class QtFileDialogs : public FileDialogs {
  public:
    std::optional<QString> showOpen(QWidget* parent, const QString& start) override;
    std::optional<QString> showSave(QWidget* parent, const QString& start, SaveKind kind) override;
};

// The window's one file-dialog object, `CD`: every showing, open or save,
// starts from the path confirmed last in any use; a cancel leaves it as it was.
class CommonDialog {
  public:
    explicit CommonDialog(FileDialogs& dialogs) : dialogs_(dialogs) {}

    std::optional<QString> showOpen(QWidget* parent);
    // `source`: the file the results come from. A dialog that would start on
    // it (or on nothing) starts on "<its name>-ripped.txt" beside it instead,
    // so that a hasty Enter does not aim at the source.
    std::optional<QString> showSave(QWidget* parent, SaveKind kind = SaveKind::Replace,
                                    const QString& source = {});

  private:
    std::optional<QString> remember(std::optional<QString> chosen);

    FileDialogs& dialogs_;
    QString fileName_;
};

}  // namespace kolvane
