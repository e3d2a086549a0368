#include "files/Transferform.h"

#include "files/Logsheetform.h"
#include "qtglue/Strings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace telvor;

namespace {

constexpr int kStateRole = Qt::UserRole + 1;

} // namespace

TFileDownloadForm::TFileDownloadForm(TProfile& profile, QWidget* parent)
    : QDialog(parent), logic_(*this, profile) {
    setObjectName("FileDownloadForm");
    setWindowTitle("File Manager");
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget;
    pages_->setObjectName("PageControl");
    auto* download = new QWidget;
    download->setObjectName("DownloadSheet");
    auto* dir = new QWidget;
    dir->setObjectName("DirSheet");
    pages_->addTab(download, "Download files");
    logSheet_ = new TLogSheet(profile, logic_, logSheetHost());
    pages_->addTab(logSheet_, "Current log file");
    pages_->addTab(dir, "Download path");
    layout->addWidget(pages_);
    buildDownloadSheet(download);
    buildDirSheet(dir);

    auto* labels = new QHBoxLayout;
    total_ = new QLabel;
    total_->setObjectName("TotalLabel");
    free_ = new QLabel;
    free_->setObjectName("FreeLabel");
    labels->addWidget(total_);
    labels->addWidget(free_);
    layout->addLayout(labels);

    auto* buttons = new QHBoxLayout;
    ok_ = new QPushButton("&Download");
    ok_->setObjectName("ButtonOK");
    delete_ = new QPushButton("Dele&te");
    delete_->setObjectName("ButtonDelete");
    refresh_ = new QPushButton("&Refresh");
    refresh_->setObjectName("RefreshButton");
    exit_ = new QPushButton("&Exit");
    exit_->setObjectName("ButtonExit");
    for (QPushButton* b : {ok_, delete_, refresh_, exit_})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    auto* bar = new QStatusBar;
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    progress_ = new QLabel;
    progress_->setObjectName("ProgressPanel");
    progress_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progress_->setMinimumWidth(40);
    status_ = new QLabel;
    status_->setObjectName("StatusPanel");
    bar->addWidget(progress_);
    bar->addWidget(status_, 1);
    layout->addWidget(bar);

    connect(ok_, &QPushButton::clicked, this, [this] {
        syncSelection();
        if (pages_->currentWidget() == logSheet_)
            logStartClick();
        else
            logic_.downloadClick();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        syncSelection();
        logic_.deleteClick();
    });
    connect(refresh_, &QPushButton::clicked, this, [this] { logic_.refresh(true); });
    connect(exit_, &QPushButton::clicked, this, &TFileDownloadForm::reject);
    // Pages stay put while a queue runs.
    connect(pages_, &QTabWidget::currentChanged, this, [this](int) {
        if (logic_.queueRunning() && pages_->currentIndex() != 0)
            pages_->setCurrentIndex(0);
        setProgress(-1);
        if (pages_->currentWidget() != pages_->widget(2))
            setStatus("");
        logPageChanged();
    });
    hookLogSheet();
}

TFileDownloadForm::~TFileDownloadForm() = default;

void TFileDownloadForm::buildDownloadSheet(QWidget* sheet) {
    auto* grid = new QGridLayout(sheet);
    list_ = new QTreeWidget;
    list_->setObjectName("FileListView");
    list_->setColumnCount(5);
    list_->setHeaderLabels({"Target name", "Name", "Size", "Date", "Time"});
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setRootIsDecorated(false);
    list_->setColumnWidth(0, 10);
    list_->header()->setSectionsClickable(true);
    list_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
    grid->addWidget(list_, 0, 0, 1, 4);

    auto add = [&](const QString& caption, QWidget* w, int row, int col) {
        grid->addWidget(new QLabel(caption), row, col);
        grid->addWidget(w, row, col + 1);
    };
    outputPath_ = new QLabel;
    outputPath_->setObjectName("OutputPathLabel");
    add("Save to:", outputPath_, 1, 0);
    source_ = new QComboBox;
    source_->setObjectName("SourceComboBox");
    add("Using:", source_, 2, 0);
    blockSize_ = new QComboBox;
    blockSize_->setObjectName("BlockSizeComboBox");
    blockSize_->addItems({"512 bytes", "1024 bytes", "2048 bytes"});
    add("Block size:", blockSize_, 3, 0);
    exclusive_ = new QCheckBox("Exclusive mode");
    exclusive_->setObjectName("ExclusiveCheckBox");
    grid->addWidget(exclusive_, 2, 2);
    print_ = new QCheckBox("Print");
    print_->setObjectName("PrintCheckBox");
    print_->hide();
    grid->addWidget(print_, 3, 2);
    blocks_ = new QLabel;
    blocks_->setObjectName("BlocksLabel");
    blocks_->hide();
    retries_ = new QLabel;
    retries_->setObjectName("RetriesLabel");
    retries_->hide();
    grid->addWidget(blocks_, 1, 2);
    grid->addWidget(retries_, 1, 3);

    auto action = [&](const QString& text, const QKeySequence& key, auto fn) {
        auto* a = new QAction(text, list_);
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, fn);
        list_->addAction(a);
        popup_.append(a);
    };
    action("Re&name target", QKeySequence("Ctrl+N"), [this] { renameSelected(); });
    action("&Refresh", QKeySequence("Ctrl+R"), [this] { logic_.refresh(true); });
    action("Dele&te selected", QKeySequence("Ctrl+T"), [this] {
        syncSelection();
        logic_.deleteClick();
    });
    action("Re&play", QKeySequence("Ctrl+P"), [this] {
        syncSelection();
        if (!logic_.queueRunning() && logic_.replayClick())
            reject();
    });

    connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        syncSelection();
        logic_.columnClick(column + 1);
        showRows();
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { syncSelection(); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (filling_ || column != 0)
            return;
        logic_.renameTarget(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)),
                            item->text(0).toStdString());
        showRows();
    });
    connect(blockSize_, &QComboBox::currentIndexChanged, this,
            [this](int index) { logic_.setBlockSizeIndex(index); });
    connect(exclusive_, &QCheckBox::toggled, this, [this](bool on) { logic_.setExclusive(on); });
    connect(source_, &QComboBox::activated, this, [this](int index) { logic_.setSource(index); });
    connect(print_, &QCheckBox::toggled, this, [this](bool on) { logic_.setViaPrint(on); });
}

void TFileDownloadForm::buildDirSheet(QWidget* sheet) {
    auto* layout = new QVBoxLayout(sheet);
    dirModel_ = new QFileSystemModel(this);
    dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel_->setRootPath("/");
    dirs_ = new QTreeView;
    dirs_->setObjectName("DirectoryListBox");
    dirs_->setModel(dirModel_);
    for (int c = 1; c < dirModel_->columnCount(); ++c)
        dirs_->hideColumn(c);
    layout->addWidget(dirs_);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("New folder:"));
    newFolder_ = new QLineEdit;
    newFolder_->setObjectName("NewFolderEdit");
    createDir_ = new QPushButton("Create");
    createDir_->setObjectName("CreateDirButton");
    createDir_->setEnabled(false);
    row->addWidget(newFolder_);
    row->addWidget(createDir_);
    layout->addLayout(row);
    // The highlighted folder is the chosen one, whether clicked or reached with the keys.
    connect(dirs_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid())
                    setOutputPath(dirModel_->filePath(index));
            });
    connect(newFolder_, &QLineEdit::textChanged, this,
            [this](const QString& text) { createDir_->setEnabled(!text.trimmed().isEmpty()); });
    connect(createDir_, &QPushButton::clicked, this, [this] {
        QDir(q(logic_.outputPath)).mkpath(newFolder_->text().trimmed());
        newFolder_->clear();
    });
}

void TFileDownloadForm::setOutputPath(const QString& path) {
    logic_.setOutputPath(path.toStdString());
    outputPath_->setText(path);
}

void TFileDownloadForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    logic_.open();
    outputPath_->setText(q(logic_.outputPath));
    dirs_->setCurrentIndex(dirModel_->index(q(logic_.outputPath)));
    source_->clear();
    for (const auto& s : logic_.sources)
        source_->addItem(q(s));
    source_->setCurrentIndex(logic_.sourceIndex);
    blockSize_->setCurrentIndex(logic_.blockSizeIndex);
    exclusive_->setChecked(logic_.exclusive);
    print_->setVisible(logic_.printVisible);
    // A recording in progress brings its page to the front.
    logSheet_->control().refresh();
    if (logSheet_->control().CurrentFileLabel.text().rfind('<', 0) != 0)
        pages_->setCurrentWidget(logSheet_);
}

void TFileDownloadForm::reject() {
    if (!exit_->isEnabled() || !logic_.close())
        return;
    logSheet_->stopTimer();
    QDialog::reject();
}

void TFileDownloadForm::syncSelection() {
    if (filling_)
        return;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        logic_.select(static_cast<std::size_t>(i), list_->topLevelItem(i)->isSelected());
}

void TFileDownloadForm::renameSelected() {
    if (logic_.queueRunning())
        return;
    if (QTreeWidgetItem* item = list_->currentItem()) {
        if (list_->columnWidth(0) < 20)
            list_->setColumnWidth(0, 100);
        list_->editItem(item, 0);
    }
}

void TFileDownloadForm::showRows() {
    filling_ = true;
    list_->clear();
    const QStyle* style = this->style();
    for (const TFileEntry& e : logic_.entries()) {
        auto* item = new QTreeWidgetItem(
            {q(e.caption), q(e.name), q(e.size), q(FileDate(e.time)), q(FileTimeOfDay(e.time))});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(0, kStateRole, e.state);
        if (e.state == 0)
            item->setIcon(0, style->standardIcon(QStyle::SP_ArrowRight));
        else if (e.state == 1)
            item->setIcon(0, style->standardIcon(QStyle::SP_BrowserReload));
        else if (e.state == 2)
            item->setIcon(0, style->standardIcon(QStyle::SP_DialogApplyButton));
        list_->addTopLevelItem(item);
        item->setSelected(e.selected);
    }
    filling_ = false;
}

void TFileDownloadForm::setProgress(int percent) {
    progress_->setText(percent < 0 ? QString() : QString::number(percent) + "%");
}

void TFileDownloadForm::setStatus(const std::string& text) {
    status_->setText(q(text));
}

void TFileDownloadForm::showBlocks(int value) {
    blocks_->setVisible(value >= 0);
    blocks_->setText("Blocks: " + QString::number(value + 1));
}

void TFileDownloadForm::showRetries(int count) {
    retries_->setVisible(count != 0);
    retries_->setText("Retries:  " + QString::number(count));
}

void TFileDownloadForm::enableStop(bool on) {
    ok_->setEnabled(on);
}

void TFileDownloadForm::setTotal(const std::string& text) {
    total_->setText(q(text));
}

void TFileDownloadForm::setFree(const std::string& text) {
    free_->setText(q(text));
}

void TFileDownloadForm::enableControl(TFileControl control, bool on) {
    switch (control) {
    case TFileControl::Exit:
        exit_->setEnabled(on);
        break;
    case TFileControl::Refresh:
        refresh_->setEnabled(on);
        break;
    case TFileControl::Download:
        // On the log page ButtonOK is "St&art", which follows the recording.
        ok_->setEnabled(
            pages_->currentWidget() == logSheet_ ? logSheet_->control().StartButton.enabled() : on);
        break;
    case TFileControl::Delete:
        delete_->setEnabled(on);
        break;
    case TFileControl::BlockSize:
        blockSize_->setEnabled(on);
        break;
    case TFileControl::Exclusive:
        exclusive_->setEnabled(on);
        break;
    case TFileControl::Source:
        source_->setEnabled(on);
        break;
    case TFileControl::PopupItems:
        for (QAction* a : popup_)
            a->setEnabled(on);
        break;
    }
}

void TFileDownloadForm::setDownloadCaption(const std::string& caption) {
    ok_->setText(q(caption));
}

void TFileDownloadForm::focusList() {
    list_->setFocus();
}

bool TFileDownloadForm::askYesNo(const std::string& title, const std::string& text) {
    if (ask_)
        return ask_(title, text);
    return QMessageBox::question(this, q(title), q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

TFileQuestions::TAnswer TFileDownloadForm::overwriteOrAppend(const std::string& path) {
    if (ask_) // tests: Yes appends, No cancels
        return ask_("Telvor", "overwrite or append " + path) ? TAnswer::Append : TAnswer::Cancel;
    QMessageBox box(QMessageBox::Question, "Telvor",
                    "The file <b>" + q(path).toHtmlEscaped() +
                        "</b> already exists. Do you want to overwrite the file or append to it?",
                    QMessageBox::NoButton, this);
    box.setObjectName("QuestionBoxForm");
    QPushButton* overwrite = box.addButton("Overwrite", QMessageBox::AcceptRole);
    QPushButton* append = box.addButton("Append", QMessageBox::ActionRole);
    box.addButton("Cancel", QMessageBox::RejectRole);
    box.setDefaultButton(overwrite);
    box.exec();
    if (box.clickedButton() == overwrite)
        return TAnswer::Overwrite;
    return box.clickedButton() == append ? TAnswer::Append : TAnswer::Cancel;
}

bool TFileDownloadForm::confirmOverwrite(const std::string& path) {
    return askYesNo("Telvor",
                    "The file\n" + path + "\nalready exists.\nDo you wish to overwrite it?");
}
