// The playlist window's list: an item model that shows the rows of a
// CPlaylist, and the delegate that draws them (14-pixel rows in the skin's
// four colours, the text inset 4 pixels, a focus rectangle on the
// selected row).
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QStyledItemDelegate>

#include "player/Playlist.h"

class CPlaylistRows : public QAbstractListModel
{
    Q_OBJECT
  public:
    explicit CPlaylistRows(const CPlaylist& playlist, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The playlist's rows changed: everything is read again.
    void Reset();

  private:
    const CPlaylist& m_playlist;
};

// The colours a row is drawn in.
struct PlaylistPalette {
    QColor background;
    QColor font;
    QColor highlight;
    QColor highlightFont;
};

class CPlaylistRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 14;
    static constexpr int kInset = 4;

    explicit CPlaylistRowDelegate(QObject* parent = nullptr);

    void SetPalette(const PlaylistPalette& palette) { m_palette = palette; }
    const PlaylistPalette& Palette() const { return m_palette; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    PlaylistPalette m_palette;
};
