// CMainWindow: applying a skin (or the built-in look) to the back buffer,
// the Autoplay button and the playlist's colours.
#include "app/DebugLog.h"
#include "app/Settings.h"
#include "ui/MainWindow.h"
#include "ui/PlaylistWindow.h"

void CMainWindow::ApplySkin(int32_t id, bool remember)
{
    const int index = id - CmdIdSkinFirst - 1;
    bool builtin = index < 0 || index >= int(m_skins.size());
    if (!builtin) {
        QString error;
        if (LoadSkinImages(m_skins[size_t(index)], m_images, &error)) {
            m_skin = m_skins[size_t(index)];
        } else {
            Log("Skin \"%s\" not applied: %s\n", m_skins[size_t(index)].name.c_str(), error.toUtf8().constData());
            builtin = true;
        }
    }
    if (builtin) {
        m_images = LoadBuiltinSkinImages();
        m_skin = BuiltinSkin();
        id = CmdIdSkinFirst;
    }
    m_fontColor = QColor(ColorRefRed(m_skin.fontColor), ColorRefGreen(m_skin.fontColor), ColorRefBlue(m_skin.fontColor));
    CreateAutoplayButton();
    DrawAll();
    update();
    if (remember)
        g_Settings.SkinName = builtin ? std::string(kBuiltinSkinName) : m_skin.name;
    m_skinId = id;
    if (m_playlistWindow)
        m_playlistWindow->SetColors(m_skin.listColors);
}

void CMainWindow::CreateAutoplayButton()
{
    SkinButton* b = FindButton(CmdIdAutoPlay);
    if (!b)
        return;
    QImage strip = m_images.autoplay.copy(0, 0, 2 * b->rect.width(), b->rect.height());
    b->strip = KeyOutMagenta(strip);
    b->state = WithMouse(0, 0);
    b->SetOn(g_Settings.AutoPlay != 0);
    RepaintClient(b->rect);
}
