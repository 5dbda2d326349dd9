#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/MessageLayer.h"
#include "playlist/FolderScan.h"

class QButtonGroup;
class QProgressBar;
class QTableView;
class QTimer;

namespace tev {

class CTevEdit;
class PlayListModel;

// One track of the play list. Every track belongs to Deck A or Deck B, so the list is two
// interleaved queues.
struct PlayListTrack {
    static constexpr int kTypeMedium = 0;  // a track of the CD loaded in the deck
    static constexpr int kTypeFile = 2;    // a sound file

    int trackNumber = 0;      // the track's number on its CD (medium tracks)
    int deck = 0;             // 0 Deck A, 1 Deck B
    bool cued = false;        // the deck's next track; at most one per deck
    bool linedUp = false;     // follows the cued track and was handed to the deck in advance
    bool selected = false;    // the row last clicked or found; at most one in the list
    bool unreadable = false;  // could not be measured, or names no file (a URL, another list)
    double length = -1.0;     // seconds; -1 while unknown
    std::string path;         // bytes as the file system names them; a CD's drive name
    std::string title;        // UTF-8; empty when unknown
    int type = kTypeFile;
};

// The play list window. The mixer asks it which track each deck loads next and tells it what the
// decks loaded; the user adds files, folders, dropped files and play list files, reorders,
// deletes, swaps a track between the decks, searches and saves. Lengths and titles are measured
// in the background by the track-length loader, one file at a time. [UI thread] everything.
class CTevPlayList2 : public QDialog, public MessageReceiver {
  public:
    static constexpr int kResource = 138;  // WM_PANEL_CLOSED's lParam
    enum DisplayMode { kShowFileName = 0, kShowPath = 1, kShowTag = 2 };

    explicit CTevPlayList2(QWidget* parent = nullptr);
    ~CTevPlayList2() override;

    // ---- The queues, for the mixer ----
    // Cues the row for its deck (the deck's other tracks lose their cue) and shows it.
    void CueTrack(int row);
    // The deck's cued track, nullptr when it has none.
    const PlayListTrack* CuedTrack(int deck) const;
    std::string CuedTrackPath(int deck) const;
    // Its title, or its file name when it has none.
    QString CuedTrackName(int deck) const;
    // Marks and returns the deck's track after its cued one; empty (nothing marked) when there is
    // none or the deck has no cued track.
    std::string LineUpNextTrack(int deck);
    // Cues the deck's lined-up track (it has started to sound).
    void CueLinedUpTrack(int deck);
    // Cues the deck's first medium track with that number.
    void CueTrackNumber(int deck, int number);
    // Cue the deck's nearest earlier / later track and send WM_LOAD_CUED_TRACK (wParam deck) to
    // the mixer; false, and nothing sent, when the deck has no cued track or it is the first /
    // last of the deck.
    bool CuePrevious(int deck);
    bool CueNext(int deck);
    void SetCuedTrackLength(int deck, double seconds);
    void ClearCued(int deck);
    // Removes the deck's medium tracks (its CD went away).
    void RemoveMediumTracks(int deck);
    // Appends a sound file; its row.
    int AddTrack(int deck, const std::string& path, double length, const std::string& title);
    // Appends track `number` of the CD in `drive`; its row.
    int AddMediumTrack(int deck, const std::string& drive, int number, double length,
                       const std::string& title);
    // Every track with this path is unreadable: "???" and the error icon, never measured again.
    void MarkUnreadable(const std::string& path);
    // The loader's result (WM_TRACK_LENGTH_LOADED) goes to every track of its path; the next
    // unmeasured file is handed to the loader at once.
    void OnTrackLengthLoaded();
    // Hands the first unmeasured file to the loader unless it is busy (also every 500 ms).
    void MeasureNext();
    // Selects the first row after the selected one whose text contains the search text, without
    // wrapping around (Enter in the search field, or Next).
    void Find();

    // ---- What the window shows ----
    int rowCount() const;
    const PlayListTrack& track(int row) const;
    int selectedRow() const;  // -1 when none
    // Column 0 ("Files") and column 1 ("Time") of a row as shown.
    QString RowText(int row) const;
    QString TimeText(int row) const;
    // Index of the row's icon: 8 unreadable; Deck A 0 cued, 6 selected, 2 otherwise; Deck B 1
    // cued, 7 selected, 3 otherwise.
    int RowIcon(int row) const;
    void SetDisplayMode(int mode);
    int displayMode() const { return displayMode_; }
    // Whole minutes and two-digit seconds ("1:15"), "???" for an unreadable track, empty while
    // the length is unknown.
    static QString FormatLength(double seconds, bool unreadable);
    // The sound files the file dialog, the folder scan and the drop accept, by extension in any
    // letter case.
    static bool IsSoundFileName(const std::string& path);
    static bool IsPlayListFileName(const std::string& path);

    // ---- The user's actions (the buttons; public for keyboard control and tests) ----
    void SelectRow(int row);
    void ActivateRow(int row);  // double-click: cue and load
    void AddFiles();
    void AddFolder();
    void MoveUp();
    void MoveDown();
    void DeleteSelected();
    void DeleteAll();
    void SwapDeck();
    void Save();
    // Dropped from a file manager: appended for Deck A.
    void AddDropped(const QStringList& paths);
    // Loads a play list file's entries for Deck A.
    void LoadPlayList(const std::string& path);
    void SetSearchText(const QString& text);
    // A folder scan is under way.
    bool Scanning() const;

    // ---- What the window asks the user; dialogs by default, replaced in tests ----
    void SetFileChooser(std::function<QStringList()> chooser) { chooseFiles_ = std::move(chooser); }
    void SetFolderChooser(std::function<QString()> chooser) { chooseFolder_ = std::move(chooser); }
    // The deck for added files: CTevDeckSelector's choice, or -1 when cancelled.
    void SetDeckChooser(std::function<int()> chooser) { chooseDeck_ = std::move(chooser); }
    // The name to save under; empty when cancelled.
    void SetSaveNameChooser(std::function<QString()> chooser) {
        chooseSaveName_ = std::move(chooser);
    }
    void SetConfirmation(std::function<bool(const QString&)> confirm) {
        confirm_ = std::move(confirm);
    }
    void SetMessageSink(std::function<void(const QString&)> sink) { tellUser_ = std::move(sink); }

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // The list view, for tests and the keyboard.
    QTableView* view() const { return view_; }
    const PlayListModel* model() const { return model_.get(); }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Appends a list file's entries for Deck A; how many.
    int AppendListEntries(const std::string& path);
    // Inserts the next batch of scanned files.
    void OnScanTick();
    void ShowScanning(bool scanning);

    std::unique_ptr<PlayListModel> model_;
    QTableView* view_ = nullptr;
    QWidget* buttons_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CTevEdit* search_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QTimer* measureTimer_ = nullptr;
    // A file was handed to the loader and its report has not been handled: the loader is free
    // again before it reports, and the same file must not be handed twice.
    bool awaitingMeasure_ = false;
    QTimer* scanTimer_ = nullptr;
    FolderScan scan_;
    std::vector<std::string> scanQueue_;  // found, not yet inserted
    size_t scanNext_ = 0;
    bool scanQueueReady_ = false;
    int scanStart_ = 0;  // the row count when the scan began
    int scanDeck_ = 0;   // the next scanned file's deck
    bool scanAlternates_ = false;
    int displayMode_ = kShowFileName;
    std::function<QStringList()> chooseFiles_;
    std::function<QString()> chooseFolder_;
    std::function<int()> chooseDeck_;
    std::function<QString()> chooseSaveName_;
    std::function<bool(const QString&)> confirm_;
    std::function<void(const QString&)> tellUser_;
};

}  // namespace tev
