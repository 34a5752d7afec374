// CPlaylistWindow: the editing commands and their menu.
#include <QInputDialog>
#include <QMenu>
#include <QToolButton>

#include "ui/PlaylistWindow.h"

void CPlaylistWindow::BuildEditMenu()
{
    m_editMenu = new QMenu(this);
    // The key after the TAB is only shown; the keys are handled by the window.
    m_editMenu->addAction(tr("Add the playing code...\tIns"), this, &CPlaylistWindow::AddPlayingRow);
    m_editMenu->addAction(tr("Rename...\tF2"), this, &CPlaylistWindow::RenameSelected);
    m_editMenu->addAction(tr("Set time from elapsed\tCtrl+T"), this, &CPlaylistWindow::SetTimeFromElapsed);
    m_editMenu->addAction(tr("Sound effect [SE] on/off\tCtrl+E"), this, &CPlaylistWindow::ToggleSESelected);
    m_editMenu->addSeparator();
    m_editMenu->addAction(tr("Move up\tCtrl+Up"), this, [this] { MoveSelected(-1); });
    m_editMenu->addAction(tr("Move down\tCtrl+Down"), this, [this] { MoveSelected(1); });
    m_editMenu->addAction(tr("Delete\tDel"), this, &CPlaylistWindow::DeleteSelected);
    m_editMenu->addSeparator();
    m_editMenu->addAction(tr("Save\tCtrl+S"), this, &CPlaylistWindow::SaveList);
    m_editButton->setMenu(m_editMenu);

    m_prompt = [this](const QString& label, QString& text) {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(this, tr("Playlist"), label, QLineEdit::Normal, text, &ok);
        if (ok)
            text = answer;
        return ok;
    };
}

void CPlaylistWindow::AddPlayingRow()
{
    const PlaylistNowPlaying now = m_nowPlaying ? m_nowPlaying() : PlaylistNowPlaying{};
    if (!now.valid) {
        ShowStatus(tr("Play a code first, then add it."), true);
        return;
    }
    QString name;
    if (!m_prompt(tr("Name for code %1:").arg(now.code, 3, 10, QLatin1Char('0')), name))
        return;
    PlaylistEntry entry;
    entry.code = now.code;
    entry.name = name.toStdString();
    m_model.InsertRow(SelectedRow(), entry);
}

void CPlaylistWindow::RenameSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    QString name = QString::fromStdString(m_model.Entries()[std::size_t(row)].name);
    if (!m_prompt(tr("Name:"), name))
        return;
    m_model.RenameRow(row, name.toStdString());
}

void CPlaylistWindow::SetTimeFromElapsed()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    const PlaylistEntry& entry = m_model.Entries()[std::size_t(row)];
    const PlaylistNowPlaying now = m_nowPlaying ? m_nowPlaying() : PlaylistNowPlaying{};
    if (entry.code < 0) {
        ShowStatus(tr("A caption has no play time."), true);
        return;
    }
    if (!now.valid || now.code != entry.code) {
        // The elapsed time belongs to the code that plays, not to this row.
        ShowStatus(tr("Code %1 is not the code playing.").arg(entry.code, 3, 10, QLatin1Char('0')), true);
        return;
    }
    // Rounded to the nearest tenth, at least one.
    const int32_t tenths = std::max<int32_t>(1, (now.elapsedMs + 50) / 100);
    m_model.SetRowTime(row, tenths);
}

void CPlaylistWindow::ToggleSESelected()
{
    const int row = SelectedRow();
    if (row >= 0 && !m_model.ToggleSE(row))
        ShowStatus(tr("A caption cannot be a sound effect."), true);
}

void CPlaylistWindow::DeleteSelected()
{
    const int row = SelectedRow();
    if (row >= 0)
        m_model.DeleteRow(row);
}

void CPlaylistWindow::MoveSelected(int delta)
{
    const int row = SelectedRow();
    if (row >= 0)
        m_model.MoveRow(row, delta);
}

void CPlaylistWindow::SaveList()
{
    const PlaylistSaveResult result = m_model.Save();
    ShowStatus(QString::fromStdString(result.message), !result.ok);
}
