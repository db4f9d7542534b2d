#include "platform/qt/qt_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QSettings>

namespace kavro {

namespace {

// The only things the program keeps between launches: where its dialogs last were.
constexpr const char* kOpenFolderKey = "folders/open";
constexpr const char* kPickedFolderKey = "folders/picked";

QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavro"),
                     QStringLiteral("Kavro"));
}

// A remembered folder that has gone since is forgotten, so the dialog opens where it always did.
QString LastFolder(const char* key) {
    const QString folder = UserSettings().value(QLatin1String(key)).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void RememberFolder(const char* key, const QString& folder) {
    UserSettings().setValue(QLatin1String(key), folder);
}

}  // namespace

class QtDialogs::ArrowWhileModal {
  public:
    explicit ArrowWhileModal(QtDialogs& d) : d_(d) {
        if (d_.beforeModal_) d_.beforeModal_();
        ++d_.modalDepth_;
        d_.applyCursor();
    }
    ~ArrowWhileModal() {
        --d_.modalDepth_;
        d_.applyCursor();
    }
    ArrowWhileModal(const ArrowWhileModal&) = delete;
    ArrowWhileModal& operator=(const ArrowWhileModal&) = delete;

  private:
    QtDialogs& d_;
};

QtDialogs::~QtDialogs() {
    if (overrideSet_) QApplication::restoreOverrideCursor();
}

// At most one override cursor of ours is ever on the stack, however the core's
// on/off calls and modal boxes interleave.
void QtDialogs::applyCursor() {
    const bool want = busy_ && modalDepth_ == 0;
    if (want == overrideSet_) return;
    overrideSet_ = want;
    if (want)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::unique_ptr<QMessageBox> QtDialogs::buildMessageBox(MessageKind kind, const QString& text,
                                                        QWidget* parent) {
    const bool error = kind == MessageKind::Error;
    auto box = std::make_unique<QMessageBox>(error ? QMessageBox::Critical : QMessageBox::Information,
                                             QString::fromUtf8(error ? kTitleError : kTitleInfo), text,
                                             QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("MessageBox"));
    box->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    return box;
}

QWidget* QtDialogs::parentWidget() const {
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : parent_.data();
}

void QtDialogs::message(MessageKind kind, const std::string& text) {
    auto box = buildMessageBox(kind, QString::fromStdString(text), parentWidget());
    ArrowWhileModal arrow(*this);
    showModal(*box);
}

bool QtDialogs::question(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kTitleInfo), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parentWidget());
    box.setObjectName(QStringLiteral("QuestionBox"));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(QMessageBox::No);
    ArrowWhileModal arrow(*this);
    return showQuestion(box);
}

bool QtDialogs::showQuestion(QMessageBox& box) {
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::beep() {
    ringBell();
}

std::optional<std::string> QtDialogs::inputBox(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
    ArrowWhileModal arrow(*this);
    const auto answer = askText(QString::fromStdString(prompt), QString::fromStdString(title),
                                QString::fromStdString(defaultText));
    if (!answer) return std::nullopt;
    return answer->toStdString();
}

std::optional<int> QtDialogs::inputNumber(const std::string& prompt, const std::string& title, int value,
                                          int min, int max) {
    ArrowWhileModal arrow(*this);
    return askNumber(QString::fromStdString(prompt), QString::fromStdString(title), value, min, max);
}

std::optional<int> QtDialogs::chooseItem(const std::string& prompt, const std::string& title,
                                         const std::vector<std::string>& items, int current) {
    QStringList list;
    for (const std::string& item : items) list << QString::fromStdString(item);
    ArrowWhileModal arrow(*this);
    return askItem(QString::fromStdString(prompt), QString::fromStdString(title), list, current);
}

std::string QtDialogs::openFile(const std::string& filter) {
    ArrowWhileModal arrow(*this);
    const QString path = askOpenFile(QString::fromStdString(filter), LastFolder(kOpenFolderKey));
    if (path.isEmpty()) return {};
    RememberFolder(kOpenFolderKey, QFileInfo(path).absolutePath());
    // The core opens files by their local 8-bit name.
    return QFile::encodeName(path).toStdString();
}

std::string QtDialogs::chooseFolder(const std::string& title) {
    ArrowWhileModal arrow(*this);
    const QString path = askFolder(QString::fromStdString(title), LastFolder(kPickedFolderKey));
    if (path.isEmpty()) return {};
    RememberFolder(kPickedFolderKey, QFileInfo(path).absoluteFilePath());
    return QFile::encodeName(path).toStdString();
}

void QtDialogs::waitCursor(bool on) {
    busy_ = on;
    applyCursor();
}

void QtDialogs::showModal(QMessageBox& box) {
    box.exec();
}

void QtDialogs::ringBell() {
    QApplication::beep();
}

std::optional<QString> QtDialogs::askText(const QString& prompt, const QString& title,
                                          const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parentWidget(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<int> QtDialogs::askNumber(const QString& prompt, const QString& title, int value, int min,
                                        int max) {
    bool ok = false;
    const int number = QInputDialog::getInt(parentWidget(), title, prompt, value, min, max, 1, &ok);
    if (!ok) return std::nullopt;
    return number;
}

std::optional<int> QtDialogs::askItem(const QString& prompt, const QString& title, const QStringList& items,
                                      int current) {
    bool ok = false;
    const QString item = QInputDialog::getItem(parentWidget(), title, prompt, items, current, false, &ok);
    const auto index = items.indexOf(item);
    if (!ok || index < 0) return std::nullopt;
    return static_cast<int>(index);
}

QString QtDialogs::askOpenFile(const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileName(parentWidget(), QString(), folder, filter);
}

QString QtDialogs::askFolder(const QString& title, const QString& folder) {
    FolderDialog dialog(parentWidget(), title, folder);
    return dialog.exec() == QDialog::Accepted ? dialog.folder() : QString();
}

FolderDialog::FolderDialog(QWidget* parent, const QString& title, const QString& folder)
    : QFileDialog(parent, title, folder) {
    setObjectName(QStringLiteral("FolderDialog"));
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, true);
    // Only Qt's own dialog lets a name that does not exist yet through (accept below).
    setOption(QFileDialog::DontUseNativeDialog, true);
    setLabelText(QFileDialog::Accept, QStringLiteral("Выбрать"));
}

QString FolderDialog::folder() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

void FolderDialog::accept() {
    const QString chosen = folder();
    // A name that is nothing yet is a folder to be made; anything that exists goes Qt's way.
    if (!chosen.isEmpty() && !QFileInfo::exists(chosen)) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

}  // namespace kavro
