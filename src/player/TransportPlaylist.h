// The loaded ROM's playlist as the transport sees it.
#pragma once

#include "player/Playlist.h"
#include "player/Transport.h"

class CTransportPlaylist : public ITransportPlaylist {
public:
    explicit CTransportPlaylist(CPlaylist& playlist) : m_playlist(playlist) {}
    void PlaySelected() override { m_playlist.PlaySelected(); }
    void PlayNext() override { m_playlist.PlayNext(); }
    void PlayPrev() override { m_playlist.PlayPrev(); }
    bool HasNext() const override { return m_playlist.HasNext(); }
    int32_t TimeOf(int32_t code) const override { return m_playlist.TimeOf(code); }
    bool WindowExists() const override { return m_playlist.WindowExists(); }

private:
    CPlaylist& m_playlist;
};
