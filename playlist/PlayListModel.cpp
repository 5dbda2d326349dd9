#include "playlist/PlayListModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

#include "controls/ImageFolder.h"

namespace tev {

namespace {

constexpr int kColumnFiles = 0;
constexpr int kColumnTime = 1;

// In the order of the icon indices: cued A, cued B, A, B, cued and selected A and B (cued
// wins, so the rows never show these two), selected A, selected B, unreadable.
constexpr const char* kIconNames[PlayListModel::kIconCount] = {
    "listCuedA.png",     "listCuedB.png",         "listDeckA.png",
    "listDeckB.png",     "listCuedSelectedA.png", "listCuedSelectedB.png",
    "listSelectedA.png", "listSelectedB.png",     "listUnreadable.png"};

}  // namespace

PlayListModel::PlayListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int i = 0; i < kIconCount; ++i) {
        icons_[i] = QIcon(ImagePath(IconFileName(i)));
    }
}

QString PlayListModel::IconFileName(int index) {
    return QString::fromLatin1(kIconNames[index]);
}

int PlayListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int PlayListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PlayListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return index.column() == kColumnFiles ? RowText(index.row()) : TimeText(index.row());
    }
    if (role == Qt::DecorationRole && index.column() == kColumnFiles) {
        return icons_[RowIcon(index.row())];
    }
    if (role == Qt::TextAlignmentRole && index.column() == kColumnTime) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant PlayListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == kColumnFiles ? QStringLiteral("Files") : QStringLiteral("Time");
}

void PlayListModel::SetDisplayMode(int mode) {
    displayMode_ = mode;
    if (size() > 0) {
        emit dataChanged(index(0, kColumnFiles), index(size() - 1, kColumnFiles),
                         {Qt::DisplayRole});
    }
}

QString PlayListModel::FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

QString PlayListModel::RowText(int row) const {
    const PlayListTrack& t = track(row);
    if (t.type == PlayListTrack::kTypeMedium) {
        // A CD track has no file name: its title, or its number on the disc.
        return t.title.empty() ? QStringLiteral("Track %1").arg(t.trackNumber)
                               : QString::fromStdString(t.title);
    }
    switch (displayMode_) {
        case CTevPlayList2::kShowPath:
            return QFile::decodeName(QByteArray::fromStdString(t.path));
        case CTevPlayList2::kShowTag:
            if (!t.title.empty()) {
                return QString::fromStdString(t.title);
            }
            break;
        default:
            break;
    }
    return FileName(t.path);
}

QString PlayListModel::TimeText(int row) const {
    const PlayListTrack& t = track(row);
    return CTevPlayList2::FormatLength(t.length, t.unreadable);
}

int PlayListModel::RowIcon(int row) const {
    const PlayListTrack& t = track(row);
    if (t.unreadable) {
        return 8;
    }
    const int deck = t.deck == 0 ? 0 : 1;
    if (t.cued) {
        return deck;
    }
    return (t.selected ? 6 : 2) + deck;
}

void PlayListModel::RowChanged(int row, int firstColumn, int lastColumn) {
    emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}

void PlayListModel::Cue(int row) {
    if (row < 0 || row >= size()) {
        return;
    }
    const int deck = track(row).deck;
    for (int r = 0; r < size(); ++r) {
        PlayListTrack& t = At(r);
        const bool cued = r == row;
        if (t.deck == deck && t.cued != cued) {
            t.cued = cued;
            RowChanged(r, kColumnFiles, kColumnFiles);
        }
    }
}

int PlayListModel::CuedRow(int deck) const {
    const auto found = std::find_if(tracks_.begin(), tracks_.end(), [deck](const PlayListTrack& t) {
        return t.deck == deck && t.cued;
    });
    return found == tracks_.end() ? -1 : static_cast<int>(found - tracks_.begin());
}

int PlayListModel::LineUpNext(int deck) {
    for (PlayListTrack& t : tracks_) {
        if (t.deck == deck) {
            t.linedUp = false;  // not shown: no row changes
        }
    }
    const int next = CuedNeighbour(deck, 1);
    if (next >= 0) {
        At(next).linedUp = true;
    }
    return next;
}

int PlayListModel::LinedUpRow(int deck) const {
    const auto found = std::find_if(tracks_.begin(), tracks_.end(), [deck](const PlayListTrack& t) {
        return t.deck == deck && t.linedUp;
    });
    return found == tracks_.end() ? -1 : static_cast<int>(found - tracks_.begin());
}

int PlayListModel::FirstRowWithNumber(int deck, int number) const {
    const auto found =
        std::find_if(tracks_.begin(), tracks_.end(), [deck, number](const PlayListTrack& t) {
            return t.deck == deck && t.trackNumber == number &&
                   t.type == PlayListTrack::kTypeMedium;
        });
    return found == tracks_.end() ? -1 : static_cast<int>(found - tracks_.begin());
}

int PlayListModel::CuedNeighbour(int deck, int step) const {
    const int cued = CuedRow(deck);
    if (cued < 0) {
        return -1;
    }
    for (int r = cued + step; r >= 0 && r < size(); r += step) {
        if (track(r).deck == deck) {
            return r;
        }
    }
    return -1;
}

void PlayListModel::SetLength(int row, double seconds) {
    At(row).length = seconds;
    RowChanged(row, kColumnTime, kColumnTime);
}

void PlayListModel::ClearCued(int deck) {
    for (int r = 0; r < size(); ++r) {
        PlayListTrack& t = At(r);
        if (t.deck == deck && t.cued) {
            t.cued = false;
            RowChanged(r, kColumnFiles, kColumnFiles);
        }
    }
}

void PlayListModel::RemoveMedium(int deck) {
    // From the end, so that each removal leaves the rows still to look at in place; adjacent
    // rows go in one removal.
    int r = size() - 1;
    while (r >= 0) {
        const auto isMedium = [this, deck](int row) {
            return track(row).deck == deck && track(row).type == PlayListTrack::kTypeMedium;
        };
        if (!isMedium(r)) {
            --r;
            continue;
        }
        int first = r;
        while (first > 0 && isMedium(first - 1)) {
            --first;
        }
        beginRemoveRows(QModelIndex(), first, r);
        tracks_.erase(tracks_.begin() + first, tracks_.begin() + r + 1);
        endRemoveRows();
        r = first - 1;
    }
}

int PlayListModel::Append(std::vector<PlayListTrack> tracks) {
    const int first = size();
    if (tracks.empty()) {
        return first;
    }
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(tracks.size()) - 1);
    tracks_.insert(tracks_.end(), std::make_move_iterator(tracks.begin()),
                   std::make_move_iterator(tracks.end()));
    endInsertRows();
    return first;
}

void PlayListModel::InsertInPathOrder(int from, std::vector<PlayListTrack> tracks) {
    from = std::clamp(from, 0, size());
    size_t i = 0;
    while (i < tracks.size()) {
        const std::string& path = tracks[i].path;
        const auto after = std::find_if(tracks_.begin() + from, tracks_.end(),
                                        [&path](const PlayListTrack& t) { return t.path > path; });
        const int at = static_cast<int>(after - tracks_.begin());
        // Every row before `at` sorts at or before tracks[i], so before each later track too:
        // the later ones land at `at` as long as the track there still sorts after them.
        size_t end = i + 1;
        while (end < tracks.size() && (after == tracks_.end() || tracks[end].path < after->path)) {
            ++end;
        }
        beginInsertRows(QModelIndex(), at, at + static_cast<int>(end - i) - 1);
        tracks_.insert(tracks_.begin() + at,
                       std::make_move_iterator(tracks.begin() + static_cast<std::ptrdiff_t>(i)),
                       std::make_move_iterator(tracks.begin() + static_cast<std::ptrdiff_t>(end)));
        endInsertRows();
        i = end;
    }
}

void PlayListModel::Select(int row) {
    for (int r = 0; r < size(); ++r) {
        PlayListTrack& t = At(r);
        const bool selected = r == row;
        if (t.selected != selected) {
            t.selected = selected;
            RowChanged(r, kColumnFiles, kColumnFiles);
        }
    }
}

int PlayListModel::SelectedRow() const {
    const auto found = std::find_if(tracks_.begin(), tracks_.end(),
                                    [](const PlayListTrack& t) { return t.selected; });
    return found == tracks_.end() ? -1 : static_cast<int>(found - tracks_.begin());
}

bool PlayListModel::Move(int row, int step) {
    const int other = row + step;
    if (row < 0 || row >= size() || other < 0 || other >= size()) {
        return false;
    }
    // Qt names the destination as the row the moved one goes before, counted before the move.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), step > 0 ? row + 2 : other);
    std::swap(At(row), At(other));
    endMoveRows();
    return true;
}

void PlayListModel::Remove(int row) {
    if (row < 0 || row >= size()) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    tracks_.erase(tracks_.begin() + row);
    endRemoveRows();
}

void PlayListModel::RemoveAll() {
    if (tracks_.empty()) {
        return;
    }
    beginRemoveRows(QModelIndex(), 0, size() - 1);
    tracks_.clear();
    endRemoveRows();
}

void PlayListModel::SwapDeck(int row) {
    if (row < 0 || row >= size()) {
        return;
    }
    PlayListTrack& t = At(row);
    t.deck = t.deck == 0 ? 1 : 0;
    t.cued = false;
    t.linedUp = false;
    RowChanged(row, kColumnFiles, kColumnFiles);
}

int PlayListModel::Find(const QString& lowerText, int after) const {
    for (int r = std::max(after + 1, 0); r < size(); ++r) {
        if (RowText(r).toLower().contains(lowerText)) {
            return r;
        }
    }
    return -1;
}

int PlayListModel::FirstUnmeasured() const {
    const auto found = std::find_if(tracks_.begin(), tracks_.end(), [](const PlayListTrack& t) {
        return t.type == PlayListTrack::kTypeFile && !t.unreadable && t.length < 0;
    });
    return found == tracks_.end() ? -1 : static_cast<int>(found - tracks_.begin());
}

void PlayListModel::StoreMeasure(const std::string& path, double seconds,
                                 const std::string& title) {
    for (int r = 0; r < size(); ++r) {
        PlayListTrack& t = At(r);
        if (t.path == path && !t.unreadable) {
            t.length = seconds;
            t.title = title;
            RowChanged(r, kColumnFiles, kColumnTime);
        }
    }
}

void PlayListModel::MarkUnreadable(const std::string& path) {
    for (int r = 0; r < size(); ++r) {
        PlayListTrack& t = At(r);
        if (t.path == path && !t.unreadable) {
            t.unreadable = true;
            RowChanged(r, kColumnFiles, kColumnTime);
        }
    }
}

void PlayListModel::SetTitle(int row, const std::string& title) {
    if (track(row).title != title) {
        At(row).title = title;
        RowChanged(row, kColumnFiles, kColumnFiles);
    }
}

}  // namespace tev
