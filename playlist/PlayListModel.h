#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <string>
#include <vector>

#include "playlist/CTevPlayList2.h"

namespace tev {

// The play list's tracks as the list view shows them: column 0 "Files", column 1 "Time", the
// row's icon as decoration. Every change of a record goes through here and is announced with
// exactly the rows it touches, so that a view of thousands of rows stays in step without being
// rebuilt. [UI thread] everything.
class PlayListModel : public QAbstractTableModel {
  public:
    static constexpr int kIconCount = 9;

    explicit PlayListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int size() const { return static_cast<int>(tracks_.size()); }
    const PlayListTrack& track(int row) const { return tracks_[static_cast<size_t>(row)]; }
    const std::vector<PlayListTrack>& tracks() const { return tracks_; }

    // Column 0 by the display mode (CTevPlayList2::DisplayMode); a change refreshes column 0.
    void SetDisplayMode(int mode);
    QString RowText(int row) const;
    QString TimeText(int row) const;
    int RowIcon(int row) const;
    // The file names of the row icons, by index; drawn at build time next to the executable.
    static QString IconFileName(int index);
    // The last path component of a path held as bytes, for the screen.
    static QString FileName(const std::string& path);

    // ---- Each deck's queue ----
    void Cue(int row);
    int CuedRow(int deck) const;  // -1 when none
    // Marks the deck's track after its cued one as lined up; its row, or -1 (nothing marked).
    int LineUpNext(int deck);
    int LinedUpRow(int deck) const;
    int FirstRowWithNumber(int deck, int number) const;
    // The deck's nearest track before (step -1) or after (step 1) its cued one; -1 when none.
    int CuedNeighbour(int deck, int step) const;
    void SetLength(int row, double seconds);
    void ClearCued(int deck);
    void RemoveMedium(int deck);

    // ---- Adding ----
    // Appends the tracks in one insertion; the first new row.
    int Append(std::vector<PlayListTrack> tracks);
    // Inserts each track before the first track, from row `from` on, whose path sorts after its
    // own, or at the end. `tracks` must be in ascending path order: a run of them that lands
    // in one place goes in as one insertion.
    void InsertInPathOrder(int from, std::vector<PlayListTrack> tracks);

    // ---- The user's edits ----
    void Select(int row);  // -1 selects nothing
    int SelectedRow() const;
    // Swaps the row with its neighbour (step -1 up, 1 down); false at the top or bottom.
    bool Move(int row, int step);
    void Remove(int row);
    void RemoveAll();
    void SwapDeck(int row);
    // The first row after `after` whose column-0 text contains `lowerText` (lower-cased
    // comparison); -1 when none.
    int Find(const QString& lowerText, int after) const;

    // ---- Measuring ----
    // The first sound file whose length is unknown and which can be read; -1 when none.
    int FirstUnmeasured() const;
    // The loader's measure, for every track of the path.
    void StoreMeasure(const std::string& path, double seconds, const std::string& title);
    void MarkUnreadable(const std::string& path);
    // Titles that a save filled in.
    void SetTitle(int row, const std::string& title);

  private:
    void RowChanged(int row, int firstColumn, int lastColumn);
    PlayListTrack& At(int row) { return tracks_[static_cast<size_t>(row)]; }

    std::vector<PlayListTrack> tracks_;
    int displayMode_ = CTevPlayList2::kShowFileName;
    QIcon icons_[kIconCount];
};

}  // namespace tev
