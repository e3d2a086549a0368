// The manual-mode window: controls by name, dialogs, the pane mirrored from the logic.
#include "manual/Manualmodeform.h"

#include "qtglue/Strings.h"
#include "settings/Profile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace telvor;

namespace {

constexpr int kCommandLength = 256;

} // namespace

TManualModeForm::TManualModeForm(TProfile& profile, TManualSession& session,
                                 const std::string& prefill, QWidget* parent)
    : QDialog(parent), profile_(profile), logic_(profile, *this, session) {
    setObjectName("ManualModeForm");
    setWindowTitle("Manual Mode");

    commandLine_ = new QComboBox(this);
    commandLine_->setObjectName("ComboBoxCommandLine");
    commandLine_->setEditable(true);
    commandLine_->setInsertPolicy(QComboBox::NoInsert);
    commandLine_->setMaxVisibleItems(15);
    commandLine_->lineEdit()->setMaxLength(kCommandLength);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("Memo");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setFont(QFont("Monospace"));
    connect(memo_, &QPlainTextEdit::textChanged, this, [this] { logic_.editorChanged(); });

    panel_ = new QWidget(this);
    panel_->setObjectName("ControlPanel");
    auto* buttons = new QHBoxLayout(panel_);
    buttons->setContentsMargins(0, 0, 0, 0);
    auto add = [&](const char* name, const char* caption, TManualButton id) {
        QPushButton* b = button(name, caption, id);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* send = add("ButtonSend", "Send command", TManualButton::Send);
    send->setDefault(true);
    add("StopButton", "Stop all messages", TManualButton::Stop);
    add("ClearButton", "Clear window", TManualButton::Clear);
    add("LogButton", "Start logging", TManualButton::Log);
    add("RunScriptButton", "Load script", TManualButton::RunScript);
    add("EditScriptButton", "Edit script", TManualButton::EditScript);
    add("ButtonDisconnect", "Disconnect", TManualButton::Disconnect);
    add("ButtonExit", "Exit", TManualButton::Exit);
    // The direct parallel port, only where this process may drive it.
    lpt_ = new QCheckBox("Via 378h", panel_);
    lpt_->setObjectName("LPTCheckBox");
    lpt_->setVisible(logic_.lptAvailable());
    buttons->addWidget(lpt_);
    connect(lpt_, &QCheckBox::toggled, this, [this](bool on) {
        const bool open = logic_.lptClick(on);
        if (open != on) {
            QSignalBlocker quiet(lpt_);
            lpt_->setChecked(open);
        }
    });

    connect(send, &QPushButton::clicked, this,
            [this] { logic_.sendClick(commandLine_->currentText().toStdString()); });
    connect(buttons_[TManualButton::Stop], &QPushButton::clicked, this,
            [this] { logic_.stopClick(); });
    connect(buttons_[TManualButton::Clear], &QPushButton::clicked, this,
            [this] { logic_.clearClick(); });
    connect(buttons_[TManualButton::Log], &QPushButton::clicked, this,
            [this] { logic_.logClick(); });
    connect(buttons_[TManualButton::RunScript], &QPushButton::clicked, this,
            [this] { logic_.runScriptClick(); });
    connect(buttons_[TManualButton::EditScript], &QPushButton::clicked, this,
            [this] { logic_.editScriptClick(); });
    connect(buttons_[TManualButton::Disconnect], &QPushButton::clicked, this,
            [this] { logic_.disconnectClick(); });
    connect(buttons_[TManualButton::Exit], &QPushButton::clicked, this,
            [this] { logic_.exitClick(); });

    path_ = new QLabel(this);
    path_->setObjectName("ScriptPathLabel");
    status_ = new QStatusBar(this);
    status_->setObjectName("StatusBarRealTime");
    status_->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(commandLine_);
    layout->addWidget(memo_, 1);
    layout->addWidget(path_);
    layout->addWidget(panel_);
    layout->addWidget(status_);

    const int w = profile_.read(keys::ManualModeW, 760), h = profile_.read(keys::ManualModeH, 480);
    resize(w > 0 ? w : 760, h > 0 ? h : 480);
    if (profile_.read(keys::ManualModeMaximized))
        setWindowState(windowState() | Qt::WindowMaximized);

    prefill_ = prefill;
}

void TManualModeForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!opened_) {
        opened_ = true;
        logic_.open(prefill_);
        commandLine_->setFocus();
    }
}

TManualModeForm::~TManualModeForm() {
    logic_.destroyed();
    const bool maximized = isMaximized();
    profile_.write(keys::ManualModeMaximized, maximized);
    if (!maximized) {
        profile_.write(keys::ManualModeW, width());
        profile_.write(keys::ManualModeH, height());
    }
}

QPushButton* TManualModeForm::button(const char* name, const QString& caption, TManualButton id) {
    auto* b = new QPushButton(caption, panel_);
    b->setObjectName(name);
    b->setAutoDefault(false);
    buttons_[id] = b;
    return b;
}

void TManualModeForm::setStatus(const std::string& text) {
    status_->showMessage(q(text));
    status_->repaint();
}

void TManualModeForm::paneChanged(int dropped, const std::string& appended) {
    QTextCursor cursor(memo_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromLatin1(appended.data(), qsizetype(appended.size())));
    if (dropped > 0) {
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, dropped);
        cursor.removeSelectedText();
    }
    memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}

void TManualModeForm::paneCleared() {
    memo_->clear();
}

void TManualModeForm::setHistory(const std::vector<std::string>& entries) {
    const QString text = commandLine_->currentText();
    commandLine_->clear();
    for (const auto& e : entries)
        commandLine_->addItem(q(e));
    commandLine_->setEditText(text);
}

void TManualModeForm::setCommandLine(const std::string& text, bool selected) {
    commandLine_->setEditText(q(text));
    commandLine_->setFocus();
    if (selected)
        commandLine_->lineEdit()->selectAll();
    else
        commandLine_->lineEdit()->end(false);
}

void TManualModeForm::setScriptPath(const std::string& folder) {
    path_->setText("Path: " + q(folder));
}

void TManualModeForm::enablePanel(bool on) {
    for (auto& [id, b] : buttons_)
        b->setEnabled(on);
}

void TManualModeForm::enableButton(TManualButton id, bool on) {
    buttons_[id]->setEnabled(on);
}

void TManualModeForm::setCaption(TManualButton id, const std::string& caption) {
    buttons_[id]->setText(q(caption));
}

void TManualModeForm::setEditorUse(bool editor, const std::string& text) {
    const bool blocked = memo_->blockSignals(true);
    memo_->setPlainText(editor ? QString::fromLocal8Bit(text.data(), qsizetype(text.size()))
                               : QString::fromLatin1(text.data(), qsizetype(text.size())));
    if (!editor)
        memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
    memo_->blockSignals(blocked);
    memo_->setReadOnly(!editor);
    commandLine_->setVisible(!editor);
    if (editor)
        memo_->setFocus();
}

std::string TManualModeForm::editorText() {
    return memo_->toPlainText().toLocal8Bit().toStdString();
}

std::optional<std::string> TManualModeForm::chooseLogFile(const std::string& folder) {
    QFileDialog dialog(this, "Log file", q(folder),
                       "Log files (*.log);;Text files (*.txt);;Raw Data files (*.vxr);;All files "
                       "(*)");
    dialog.setObjectName("LogFileDialog");
    dialog.setDefaultSuffix("log");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // the overwrite/append question follows
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> TManualModeForm::chooseScript(const std::string& folder,
                                                         bool mayCreate) {
    QFileDialog dialog(this, "Script file", q(folder), "Script files (*.vxc *.wqc);;All files (*)");
    dialog.setObjectName("ScriptFileDialog");
    dialog.setDefaultSuffix("vxc");
    dialog.setFileMode(mayCreate ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString file = dialog.selectedFiles().first();
    if (mayCreate && !QFileInfo::exists(file) &&
        QMessageBox::question(this, "Script file",
                              file + "\nThis file does not exist.\nCreate the file?") !=
            QMessageBox::Yes)
        return std::nullopt;
    return file.toStdString();
}

TLogChoice TManualModeForm::askOverwrite(const std::string& path) {
    QMessageBox box(QMessageBox::Question, "Log file",
                    q(path) + " already exists.\nDo you want to overwrite or append to it?",
                    QMessageBox::NoButton, this);
    QPushButton* overwrite = box.addButton("&Overwrite", QMessageBox::DestructiveRole);
    QPushButton* append = box.addButton("&Append", QMessageBox::AcceptRole);
    box.addButton("&Cancel", QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == overwrite)
        return TLogChoice::Overwrite;
    if (box.clickedButton() == append)
        return TLogChoice::Append;
    return TLogChoice::Cancel;
}

void TManualModeForm::errorBox(const std::string& title, const std::string& text) {
    QMessageBox::critical(this, q(title), q(text));
}

bool TManualModeForm::askYesNo(const std::string& title, const std::string& text) {
    return QMessageBox::question(this, q(title), q(text)) == QMessageBox::Yes;
}

void TManualModeForm::closeWindow() {
    if (finished_)
        return;
    if (logic_.closeRequested()) {
        finished_ = true;
        QDialog::done(QDialog::Rejected);
    }
}

void TManualModeForm::reject() {
    if (!finished_)
        logic_.exitClick();
}

void TManualModeForm::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        closeWindow();
        if (!finished_) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
