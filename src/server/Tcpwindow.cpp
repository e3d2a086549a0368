#include "server/Tcpwindow.h"

#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace telvor {

TTCPWindow::TTCPWindow(TProfile& profile, QWidget* parent)
    : QWidget(parent, Qt::Window), profile_(profile) {
    setObjectName("TTCPWindow");
    setWindowTitle("TCP/IP status window");
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* grid = new QGridLayout(this);
    auto counter = [&](const char* name, const char* caption, int column) {
        auto* title = new QLabel(caption, this);
        auto* value = new QLabel("0", this);
        value->setObjectName(name);
        value->installEventFilter(this);
        grid->addWidget(title, 0, column * 2);
        grid->addWidget(value, 0, column * 2 + 1);
        return value;
    };
    sentLabel_ = counter("SentLabel", "Sent:", 0);
    recvLabel_ = counter("RecvLabel", "Recv:", 1);
    errorsLabel_ = counter("ErrorsLabel", "Errors:", 2);
    delayLabel_ = counter("DelayLabel", "Delay:", 3);
    delayLabel_->setText("");
    light_ = new QLabel(this);
    light_->setObjectName("Light");
    light_->setFixedSize(14, 14);
    grid->addWidget(light_, 0, 8);

    statusList_ = new QListWidget(this);
    statusList_->setObjectName("StatusList");
    statusList_->installEventFilter(this);
    grid->addWidget(statusList_, 1, 0, 1, 9);
    chatList_ = new QListWidget(this);
    chatList_->setObjectName("ChatList");
    chatList_->installEventFilter(this);
    grid->addWidget(chatList_, 2, 0, 1, 9);
    chatEdit_ = new QLineEdit(this);
    chatEdit_->setObjectName("ChatEdit");
    chatEdit_->setMaxLength(TTCPSharing::kChatLength);
    grid->addWidget(chatEdit_, 3, 0, 1, 6);
    sendButton_ = new QPushButton("Send", this);
    sendButton_->setObjectName("SendButton");
    sendButton_->setEnabled(false);
    grid->addWidget(sendButton_, 3, 6);
    beepBox_ = new QCheckBox("Beep on receive", this);
    beepBox_->setObjectName("BeepCheckBox");
    beepBox_->setChecked(profile_.read(keys::CommsBeepOnMessage));
    grid->addWidget(beepBox_, 3, 7, 1, 2);
    connect(sendButton_, &QPushButton::clicked, this, [this] { ButtonSendClick(); });
    connect(chatEdit_, &QLineEdit::returnPressed, this, [this] { ButtonSendClick(); });

    sharing_.configure(readSharingConfig(profile_));
    TTCPSharing::THooks hooks;
    hooks.status = [this](const std::string& line) {
        if (!isVisible())
            return;
        statusList_->addItem(QString::fromStdString(line));
        while (statusList_->count() > TTCPSharing::kListLines)
            delete statusList_->takeItem(0);
        statusList_->scrollToBottom();
    };
    hooks.chat = [this](const std::string& line) {
        chatList_->insertItem(0, QString::fromStdString(line));
        while (chatList_->count() > TTCPSharing::kListLines)
            delete chatList_->takeItem(chatList_->count() - 1);
    };
    hooks.beep = [this] {
        if (beepBox_->isChecked())
            QApplication::beep();
    };
    hooks.counters = [this] { showCounters(); };
    hooks.light = [this](TSharingLight l) { showLight(l); };
    hooks.linkChanged = [this](bool up) { sendButton_->setEnabled(up); };
    sharing_.setHooks(hooks);
    sharing_.install();
    resize(520, 360);
}

TTCPWindow::~TTCPWindow() {
    profile_.write(keys::CommsBeepOnMessage, beepBox_->isChecked());
}

void TTCPWindow::ButtonSendClick() {
    if (!sharing_.linkUp())
        return;
    if (sharing_.sendChat(chatEdit_->text().toStdString()))
        chatEdit_->clear();
}

void TTCPWindow::showEvent(QShowEvent* event) {
    statusList_->clear();
    for (const std::string& line : sharing_.statusLines())
        statusList_->addItem(QString::fromStdString(line));
    statusList_->scrollToBottom();
    QWidget::showEvent(event);
}

// Double clicks reset a counter or clear a list.
bool TTCPWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == sentLabel_)
            sharing_.resetSent();
        else if (watched == recvLabel_)
            sharing_.resetReceived();
        else if (watched == errorsLabel_)
            sharing_.resetErrors();
        else if (watched == delayLabel_)
            sharing_.resetDelay();
        else if (watched == statusList_) {
            sharing_.clearStatus();
            statusList_->clear();
        } else if (watched == chatList_) {
            sharing_.clearChat();
            chatList_->clear();
        }
        showCounters();
    }
    return QWidget::eventFilter(watched, event);
}

void TTCPWindow::showCounters() {
    sentLabel_->setText(QString::number(sharing_.sent()));
    recvLabel_->setText(QString::number(sharing_.received()));
    errorsLabel_->setText(QString::number(sharing_.errors()));
    delayLabel_->setText(QString::fromStdString(sharing_.delayText()));
}

void TTCPWindow::showLight(TSharingLight light) {
    static const char* const kColours[] = {"", "red", "green", "blue"};
    const char* colour = kColours[int(light)];
    light_->setStyleSheet(*colour ? QString("background:%1;border-radius:7px").arg(colour) : "");
}

} // namespace telvor
