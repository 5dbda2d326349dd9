#include "playlist/CTevPlayList2.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <utility>

#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "decks/CTevDeck2.h"
#include "playlist/CTevDeckSelector.h"
#include "playlist/CTevEdit.h"
#include "playlist/PlayListFile.h"
#include "playlist/PlayListModel.h"

namespace tev {

namespace {

constexpr int kListWidth = 320;
constexpr int kTimeColumnWidth = 46;
constexpr int kRowHeight = 18;
constexpr int kMeasureIntervalMs = 500;
// A few hundred rows per 4 ms keep the window answering while thousands of files go in.
constexpr int kScanIntervalMs = 4;
constexpr size_t kScanBatch = 256;

const QString kSoundPatterns =
    QStringLiteral("*.mp3 *.ogg *.wav *.wma *.flac *.m4a *.aac *.opus *.oga *.aif *.aiff");
const QString kListPatterns = QStringLiteral("*.m3u *.m3u8 *.pls");

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

PlayListTrack FileTrack(int deck, std::string path) {
    PlayListTrack track;
    track.deck = deck;
    track.path = std::move(path);
    return track;
}

}  // namespace

CTevPlayList2::CTevPlayList2(QWidget* parent)
    : QDialog(parent), model_(std::make_unique<PlayListModel>()) {
    setWindowTitle(QStringLiteral("Play List"));
    setAcceptDrops(true);
    // The list on the left, its controls on the right: the window shares the bottom row of the
    // screen with the analyzer, at the analyzer's size.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);
    auto* controls = new QVBoxLayout();
    controls->setSpacing(2);

    view_ = new QTableView(this);
    view_->setModel(model_.get());
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    view_->setIconSize(QSize(16, 16));
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->verticalHeader()->hide();
    // One fixed height for every row: the view never measures rows, however many there are.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    // The column widths are fixed: "Time" holds the longest length, "Files" the rest.
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    header->resizeSection(0, kListWidth - 50 - scrollBar);
    header->resizeSection(1, kTimeColumnWidth);
    view_->setFixedWidth(kListWidth);
    connect(view_, &QTableView::clicked, this,
            [this](const QModelIndex& i) { SelectRow(i.row()); });
    connect(view_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { ActivateRow(i.row()); });
    layout->addWidget(view_, 1);

    buttons_ = new QWidget(this);
    auto* grid = new QGridLayout(buttons_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    struct ButtonEntry {
        CTevButtonCtrl::Kind kind;
        const char* text;
        const char* tip;
        void (CTevPlayList2::*action)();
    };
    const ButtonEntry entries[] = {
        {CTevButtonCtrl::Kind::MoveUp, "Up", "Move Up", &CTevPlayList2::MoveUp},
        {CTevButtonCtrl::Kind::AddFile, "+ File", "Add File", &CTevPlayList2::AddFiles},
        {CTevButtonCtrl::Kind::AddFolder, "+ Folder", "Add Folder", &CTevPlayList2::AddFolder},
        {CTevButtonCtrl::Kind::Delete, "Delete", "Delete Track", &CTevPlayList2::DeleteSelected},
        {CTevButtonCtrl::Kind::MoveDown, "Down", "Move Down", &CTevPlayList2::MoveDown},
        {CTevButtonCtrl::Kind::Save, "Save", "Save", &CTevPlayList2::Save},
        {CTevButtonCtrl::Kind::DeckSwap, "A <-> B", "Deck Swap", &CTevPlayList2::SwapDeck},
        {CTevButtonCtrl::Kind::DeleteAll, "Delete All", nullptr, &CTevPlayList2::DeleteAll},
    };
    int column = 0;
    for (const ButtonEntry& entry : entries) {
        auto* button = new CTevButtonCtrl(buttons_);
        button->SetKind(entry.kind);
        button->setText(QString::fromLatin1(entry.text));
        if (entry.tip != nullptr) {
            button->setToolTip(QString::fromLatin1(entry.tip));
        }
        button->setFixedSize(34, 28);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, entry.action);
        grid->addWidget(button, column / 4, column % 4);
        ++column;
    }
    controls->addWidget(buttons_, 0, Qt::AlignHCenter);

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->hide();
    controls->addWidget(progress_);

    auto* show = new QGroupBox(QStringLiteral("Show"), this);
    auto* showLayout = new QHBoxLayout(show);
    showLayout->setContentsMargins(4, 2, 4, 2);
    modes_ = new QButtonGroup(this);
    const std::pair<const char*, int> modes[] = {
        {"File Name", kShowFileName}, {"Path", kShowPath}, {"Tag", kShowTag}};
    for (const auto& [text, mode] : modes) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), show);
        modes_->addButton(radio, mode);
        showLayout->addWidget(radio);
    }
    modes_->button(kShowFileName)->setChecked(true);
    connect(modes_, &QButtonGroup::idClicked, this, &CTevPlayList2::SetDisplayMode);
    controls->addWidget(show);

    auto* find = new QGroupBox(QStringLiteral("Find"), this);
    auto* findLayout = new QHBoxLayout(find);
    findLayout->setContentsMargins(4, 2, 4, 2);
    search_ = new CTevEdit(find);
    findLayout->addWidget(search_);
    auto* next = new QPushButton(QStringLiteral("Next"), find);
    next->setAutoDefault(false);
    connect(next, &QPushButton::clicked, this, &CTevPlayList2::Find);
    findLayout->addWidget(next);
    controls->addWidget(find);
    controls->addStretch(1);
    layout->addLayout(controls, 1);
    setFixedSize(560, 180);

    measureTimer_ = new QTimer(this);
    connect(measureTimer_, &QTimer::timeout, this, &CTevPlayList2::MeasureNext);
    measureTimer_->start(kMeasureIntervalMs);
    scanTimer_ = new QTimer(this);
    connect(scanTimer_, &QTimer::timeout, this, &CTevPlayList2::OnScanTick);

    chooseFiles_ = [this] {
        const QString patterns = kSoundPatterns + QLatin1Char(' ') + kListPatterns;
        return QFileDialog::getOpenFileNames(
            this, QStringLiteral("Add File"), QString(),
            QStringLiteral("Files (%1);;All Files (*)").arg(patterns));
    };
    chooseFolder_ = [this] {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Select a folder of tracks."),
                                                 QString(), QFileDialog::ShowDirsOnly);
    };
    chooseDeck_ = [this] {
        CTevDeckSelector selector(this);
        return selector.exec() == QDialog::Accepted ? selector.GetChoice() : -1;
    };
    chooseSaveName_ = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Save"), QString(),
            QStringLiteral("Files (%1);;All Files (*)").arg(kListPatterns));
    };
    confirm_ = [this](const QString& text) {
        return QMessageBox::question(this, windowTitle(), text,
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    tellUser_ = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("Play List"), text);
    };
}

CTevPlayList2::~CTevPlayList2() {
    // The view outlives the model among the members: let it go first.
    view_->setModel(nullptr);
}

// ---- The queues ----

void CTevPlayList2::CueTrack(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    model_->Cue(row);
    view_->scrollTo(model_->index(row, 0));
}

const PlayListTrack* CTevPlayList2::CuedTrack(int deck) const {
    const int row = model_->CuedRow(deck);
    return row < 0 ? nullptr : &model_->track(row);
}

std::string CTevPlayList2::CuedTrackPath(int deck) const {
    const PlayListTrack* cued = CuedTrack(deck);
    return cued == nullptr ? std::string() : cued->path;
}

QString CTevPlayList2::CuedTrackName(int deck) const {
    const PlayListTrack* cued = CuedTrack(deck);
    if (cued == nullptr) {
        return {};
    }
    if (!cued->title.empty()) {
        return QString::fromStdString(cued->title);
    }
    // A CD track's path is its drive: it goes by its number.
    return cued->type == PlayListTrack::kTypeMedium
               ? QStringLiteral("Track %1").arg(cued->trackNumber)
               : PlayListModel::FileName(cued->path);
}

std::string CTevPlayList2::LineUpNextTrack(int deck) {
    const int row = model_->LineUpNext(deck);
    return row < 0 ? std::string() : model_->track(row).path;
}

void CTevPlayList2::CueLinedUpTrack(int deck) {
    CueTrack(model_->LinedUpRow(deck));
}

void CTevPlayList2::CueTrackNumber(int deck, int number) {
    CueTrack(model_->FirstRowWithNumber(deck, number));
}

bool CTevPlayList2::CuePrevious(int deck) {
    const int row = model_->CuedNeighbour(deck, -1);
    if (row < 0) {
        return false;
    }
    CueTrack(row);
    SendAppMessage(hMixerWnd, WM_LOAD_CUED_TRACK, static_cast<WPARAM>(deck), 0);
    return true;
}

bool CTevPlayList2::CueNext(int deck) {
    const int row = model_->CuedNeighbour(deck, 1);
    if (row < 0) {
        return false;
    }
    CueTrack(row);
    SendAppMessage(hMixerWnd, WM_LOAD_CUED_TRACK, static_cast<WPARAM>(deck), 0);
    return true;
}

void CTevPlayList2::SetCuedTrackLength(int deck, double seconds) {
    const int row = model_->CuedRow(deck);
    if (row >= 0) {
        model_->SetLength(row, seconds);
    }
}

void CTevPlayList2::ClearCued(int deck) {
    model_->ClearCued(deck);
}

void CTevPlayList2::RemoveMediumTracks(int deck) {
    model_->RemoveMedium(deck);
}

int CTevPlayList2::AddTrack(int deck, const std::string& path, double length,
                            const std::string& title) {
    PlayListTrack track = FileTrack(deck, path);
    track.length = length;
    track.title = title;
    return model_->Append({std::move(track)});
}

int CTevPlayList2::AddMediumTrack(int deck, const std::string& drive, int number, double length,
                                  const std::string& title) {
    PlayListTrack track = FileTrack(deck, drive);
    track.type = PlayListTrack::kTypeMedium;
    track.trackNumber = number;
    track.length = length;
    track.title = title;
    return model_->Append({std::move(track)});
}

void CTevPlayList2::MarkUnreadable(const std::string& path) {
    model_->MarkUnreadable(path);
}

void CTevPlayList2::OnTrackLengthLoaded() {
    awaitingMeasure_ = false;
    const TrackLengthExchange::Result result = trackLength.Last();
    if (result.seconds >= 0) {
        model_->StoreMeasure(result.path, result.seconds, result.title);
    } else {
        model_->MarkUnreadable(result.path);
    }
    MeasureNext();
}

void CTevPlayList2::MeasureNext() {
    if (awaitingMeasure_ || trackLength.Busy()) {
        return;
    }
    const int row = model_->FirstUnmeasured();
    if (row >= 0) {
        awaitingMeasure_ = trackLength.Request(model_->track(row).path);
    }
}

void CTevPlayList2::Find() {
    const int row = model_->Find(search_->text().toLower(), selectedRow());
    if (row >= 0) {
        SelectRow(row);
    }
}

// ---- What the window shows ----

int CTevPlayList2::rowCount() const {
    return model_->size();
}

const PlayListTrack& CTevPlayList2::track(int row) const {
    return model_->track(row);
}

int CTevPlayList2::selectedRow() const {
    return model_->SelectedRow();
}

QString CTevPlayList2::RowText(int row) const {
    return model_->RowText(row);
}

QString CTevPlayList2::TimeText(int row) const {
    return model_->TimeText(row);
}

int CTevPlayList2::RowIcon(int row) const {
    return model_->RowIcon(row);
}

void CTevPlayList2::SetDisplayMode(int mode) {
    if (mode < kShowFileName || mode > kShowTag) {
        return;
    }
    displayMode_ = mode;
    if (QAbstractButton* radio = modes_->button(mode); !radio->isChecked()) {
        radio->setChecked(true);
    }
    model_->SetDisplayMode(mode);
}

QString CTevPlayList2::FormatLength(double seconds, bool unreadable) {
    if (unreadable) {
        return QStringLiteral("???");
    }
    // NaN and lengths beyond any track are as unknown as -1.
    if (!(seconds >= 0) || seconds > 1e9) {
        return {};
    }
    const auto whole = static_cast<long long>(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

bool CTevPlayList2::IsSoundFileName(const std::string& path) {
    return IsSoundFile(path);
}

bool CTevPlayList2::IsPlayListFileName(const std::string& path) {
    const std::string extension = LowerExtension(path);
    return extension == ".m3u" || extension == ".m3u8" || extension == ".pls" ||
           extension == ".cue" || extension == ".ldj";
}

// ---- The user's actions ----

void CTevPlayList2::SelectRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    model_->Select(row);
    const QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void CTevPlayList2::ActivateRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    CueTrack(row);
    SendAppMessage(hMixerWnd, WM_LOAD_CUED_TRACK, static_cast<WPARAM>(model_->track(row).deck), 0);
}

void CTevPlayList2::AddFiles() {
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_OPENING, 0, 0);
    const QStringList files = chooseFiles_();
    const int choice = files.isEmpty() ? -1 : chooseDeck_();
    if (choice >= 0) {
        const int selectedBefore = selectedRow();
        const int firstAdded = rowCount();
        const bool alternate = choice == CTevDeckSelector::kSwitch;
        int deck = alternate ? 1 : choice;
        std::vector<PlayListTrack> pending;
        for (const QString& file : files) {
            std::string path = CTevDeck2::PathBytes(file);
            if (IsPlayListFileName(path)) {
                // The list's entries keep their place among the chosen files.
                model_->Append(std::exchange(pending, {}));
                AppendListEntries(path);
            } else {
                pending.push_back(FileTrack(deck, std::move(path)));
            }
            if (alternate) {
                deck = 1 - deck;
            }
        }
        model_->Append(std::move(pending));
        if (selectedBefore < 0 && rowCount() > firstAdded) {
            SelectRow(firstAdded);
        }
        SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
    }
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_CLOSED, 0, 0);
}

void CTevPlayList2::AddFolder() {
    if (Scanning()) {
        return;
    }
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_OPENING, 0, 0);
    const QString folder = chooseFolder_();
    const int choice = folder.isEmpty() ? -1 : chooseDeck_();
    if (choice >= 0) {
        scanStart_ = rowCount();
        scanAlternates_ = choice == CTevDeckSelector::kSwitch;
        scanDeck_ = scanAlternates_ ? 1 : choice;
        scanQueue_.clear();
        scanNext_ = 0;
        scanQueueReady_ = false;
        scan_.Start(CTevDeck2::PathBytes(folder));
        ShowScanning(true);
        scanTimer_->start(kScanIntervalMs);
    }
    view_->setFocus();
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_CLOSED, 0, 0);
}

void CTevPlayList2::OnScanTick() {
    if (!scanQueueReady_) {
        if (!scan_.Finished()) {
            return;  // the bar keeps showing that it is busy
        }
        scanQueue_ = scan_.Take();
        scanQueueReady_ = true;
        progress_->setRange(0, static_cast<int>(scanQueue_.size()));
    }
    const size_t end = std::min(scanQueue_.size(), scanNext_ + kScanBatch);
    std::vector<PlayListTrack> batch;
    batch.reserve(end - scanNext_);
    for (; scanNext_ < end; ++scanNext_) {
        batch.push_back(FileTrack(scanDeck_, std::move(scanQueue_[scanNext_])));
        if (scanAlternates_) {
            scanDeck_ = 1 - scanDeck_;
        }
    }
    model_->InsertInPathOrder(scanStart_, std::move(batch));
    progress_->setValue(static_cast<int>(scanNext_));
    if (scanNext_ == scanQueue_.size()) {
        scanTimer_->stop();
        scanQueue_.clear();
        ShowScanning(false);
        SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
    }
}

void CTevPlayList2::ShowScanning(bool scanning) {
    if (scanning) {
        progress_->setRange(0, 0);  // busy until the scan has counted the files
        progress_->setValue(0);
    }
    buttons_->setVisible(!scanning);
    progress_->setVisible(scanning);
}

bool CTevPlayList2::Scanning() const {
    return scanTimer_->isActive();
}

void CTevPlayList2::MoveUp() {
    if (model_->Move(selectedRow(), -1)) {
        SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
    }
}

void CTevPlayList2::MoveDown() {
    if (model_->Move(selectedRow(), 1)) {
        SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
    }
}

void CTevPlayList2::DeleteSelected() {
    const int row = selectedRow();
    if (row < 0) {
        return;
    }
    model_->Remove(row);
    SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
}

void CTevPlayList2::DeleteAll() {
    if (!confirm_(QStringLiteral("Are You Sure?"))) {
        return;
    }
    model_->RemoveAll();
    SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
}

void CTevPlayList2::SwapDeck() {
    model_->SwapDeck(selectedRow());
}

void CTevPlayList2::Save() {
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_OPENING, 0, 0);
    const QString name = chooseSaveName_();
    if (!name.isEmpty()) {
        std::vector<PlayListEntry> entries;
        std::vector<int> rows;
        for (int row = 0; row < rowCount(); ++row) {
            const PlayListTrack& t = model_->track(row);
            if (t.type == PlayListTrack::kTypeFile) {
                // An unreadable entry may name a URL or a FIFO: never opened for its tag.
                entries.push_back({t.path, t.title, t.length, t.unreadable});
                rows.push_back(row);
            }
        }
        const PlayListSaveResult saved = SavePlayList(CTevDeck2::PathBytes(name), entries);
        setWindowTitle(CTevDeck2::ShownPath(saved.path));
        for (size_t i = 0; i < rows.size(); ++i) {
            model_->SetTitle(rows[i], entries[i].title);
        }
        if (!saved.written && !saved.error.empty()) {
            tellUser_(
                QStringLiteral("File Write Error: %1").arg(QString::fromStdString(saved.error)));
        }
    }
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_CLOSED, 0, 0);
}

void CTevPlayList2::AddDropped(const QStringList& paths) {
    std::vector<PlayListTrack> pending;
    int added = 0;
    for (const QString& dropped : paths) {
        std::string path = CTevDeck2::PathBytes(dropped);
        if (IsPlayListFileName(path)) {
            model_->Append(std::exchange(pending, {}));
            added += AppendListEntries(path);
        } else if (IsSoundFileName(path)) {
            pending.push_back(FileTrack(0, std::move(path)));
            ++added;
        }
    }
    model_->Append(std::move(pending));
    if (added > 0) {
        SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
    }
}

void CTevPlayList2::LoadPlayList(const std::string& path) {
    AppendListEntries(path);
    SendAppMessage(hMixerWnd, WM_PLAYLIST_CHANGED, 0, 0);
}

int CTevPlayList2::AppendListEntries(const std::string& path) {
    // ".cue" and ".ldj" lists are recognised but not read: LoadPlayList refuses them.
    PlayListLoadResult loaded = ::tev::LoadPlayList(path);
    if (!loaded.error.empty()) {
        tellUser_(QStringLiteral("The play list %1 was not read: %2")
                      .arg(CTevDeck2::ShownPath(path), QString::fromStdString(loaded.error)));
    }
    std::vector<PlayListTrack> tracks;
    tracks.reserve(loaded.entries.size());
    for (PlayListEntry& entry : loaded.entries) {
        PlayListTrack track = FileTrack(0, std::move(entry.path));
        track.title = std::move(entry.title);
        track.length = entry.length;
        // A URL, a device or another list: shown as "???" and never handed to the loader.
        track.unreadable = entry.neverOpen;
        tracks.push_back(std::move(track));
    }
    model_->Append(std::move(tracks));
    return static_cast<int>(loaded.entries.size());
}

void CTevPlayList2::SetSearchText(const QString& text) {
    search_->setText(text);
}

LRESULT CTevPlayList2::OnAppMessage(uint32_t msg, WPARAM, LPARAM) {
    switch (msg) {
        case WM_TRACK_LENGTH_LOADED:
            OnTrackLengthLoaded();
            break;
        case WM_SEARCH_ENTER:
            Find();
            break;
        default:
            break;
    }
    return 0;
}

// ---- Window events ----

bool CTevPlayList2::event(QEvent* event) {
    // The keys belong to the search field while the list is the active window.
    if (event->type() == QEvent::WindowActivate) {
        keyboardEnabled.store(0);
    } else if (event->type() == QEvent::WindowDeactivate) {
        keyboardEnabled.store(1);
    }
    return QDialog::event(event);
}

void CTevPlayList2::closeEvent(QCloseEvent* event) {
    SendAppMessage(hMixerWnd, WM_PANEL_CLOSED, 0, kResource);
    QDialog::closeEvent(event);
}

void CTevPlayList2::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CTevPlayList2::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        // Only files of this machine: a dropped link is never fetched.
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    AddDropped(paths);
    event->acceptProposedAction();
}

}  // namespace tev
