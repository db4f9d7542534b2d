#pragma once
// The dialogs port on Qt.
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ports.h"

class QMessageBox;

namespace kavro {

// The folder dialog of the exports: besides a folder that exists, it takes the
// name of one still to be made (the export makes it), where Qt's own dialog
// would say "Directory not found".
class FolderDialog : public QFileDialog {
  public:
    FolderDialog(QWidget* parent, const QString& title, const QString& folder);
    // The folder picked or typed; "" when none.
    QString folder() const;
    void accept() override;
};

// The core's dialogs as Qt modal boxes. The modal steps are virtual so a test
// can answer them without a box ever blocking.
class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtDialogs() override;
    QtDialogs(const QtDialogs&) = delete;
    QtDialogs& operator=(const QtDialogs&) = delete;

    // The window the boxes are centred on.
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    // Run before a box opens, so the windows behind it show the current state.
    void setBeforeModal(std::function<void()> f) { beforeModal_ = std::move(f); }

    void message(MessageKind kind, const std::string& text) override;
    bool question(const std::string& text) override;
    void beep() override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<int> inputNumber(const std::string& prompt, const std::string& title, int value, int min,
                                   int max) override;
    std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                  const std::vector<std::string>& items, int current) override;
    // Opens in the folder of the file last opened (kept in the user's Qt settings between launches).
    std::string openFile(const std::string& filter) override;
    // The hourglass on or off; repeated calls with the same value change nothing.
    void waitCursor(bool on) override;
    // A folder the user picks (the window's exports); "" when cancelled. Opens in the folder
    // last picked, kept as the file dialogs' folder is.
    std::string chooseFolder(const std::string& title);

    bool waitCursorOn() const { return busy_; }

    // The message box as shown: the kind's title, the text, the single button OK.
    static std::unique_ptr<QMessageBox> buildMessageBox(MessageKind kind, const QString& text,
                                                        QWidget* parent);

  protected:
    virtual void showModal(QMessageBox& box);
    // Shows a Yes/No box; true when Yes was chosen.
    virtual bool showQuestion(QMessageBox& box);
    virtual void ringBell();
    virtual std::optional<QString> askText(const QString& prompt, const QString& title,
                                           const QString& defaultText);
    virtual std::optional<int> askNumber(const QString& prompt, const QString& title, int value, int min,
                                         int max);
    // The index of the item picked.
    virtual std::optional<int> askItem(const QString& prompt, const QString& title, const QStringList& items,
                                       int current);
    // "" when cancelled. `folder` is where the dialog opens ("" = the working directory).
    virtual QString askOpenFile(const QString& filter, const QString& folder);
    virtual QString askFolder(const QString& title, const QString& folder);

    // The window a box is centred on: the one the user works in (the chart window,
    // when the period box comes from it), else the main window.
    QWidget* parentWidget() const;

  private:
    // A modal box gets the normal pointer even while a job shows the hourglass.
    class ArrowWhileModal;
    void applyCursor();

    QPointer<QWidget> parent_;
    std::function<void()> beforeModal_;
    bool busy_ = false;         // the core asked for the hourglass
    int modalDepth_ = 0;        // modal boxes open now
    bool overrideSet_ = false;  // our override cursor is on the stack
};

}  // namespace kavro
