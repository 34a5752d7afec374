// The playlist window's list model and row drawing.
#include "ui/PlaylistWindowList.h"

#include <QPainter>
#include <QPen>

CPlaylistRows::CPlaylistRows(const CPlaylist& playlist, QObject* parent)
    : QAbstractListModel(parent), m_playlist(playlist)
{
}

int CPlaylistRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_playlist.Entries().size());
}

QVariant CPlaylistRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_playlist.Entries().size()))
        return {};
    const PlaylistEntry& entry = m_playlist.Entries()[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(CPlaylist::DisplayText(entry));
    case Qt::UserRole:
        return entry.code;
    default:
        return {};
    }
}

void CPlaylistRows::Reset()
{
    beginResetModel();
    endResetModel();
}

CPlaylistRowDelegate::CPlaylistRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CPlaylistRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QRect r = option.rect;
    painter->save();
    painter->fillRect(r, selected ? m_palette.highlight : m_palette.background);
    painter->setPen(selected ? m_palette.highlightFont : m_palette.font);
    painter->setFont(option.font);
    const QRect text = r.adjusted(kInset, 0, -kInset, 0);
    painter->setClipRect(text);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->setClipping(false);
    if (selected) {
        // The focus rectangle: a dotted frame just inside the row.
        QPen pen(m_palette.highlightFont);
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize CPlaylistRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
}
