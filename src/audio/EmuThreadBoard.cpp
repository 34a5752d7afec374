// The render thread's view of the real board: CSoundBoard behind the
// narrow IRenderBoard interface.
#include <utility>

#include "audio/EmuThread.h"
#include "machine/SoundBoard.h"

namespace {

class CSoundBoardAdaptor final : public IRenderBoard {
public:
    explicit CSoundBoardAdaptor(std::unique_ptr<CSoundBoard> board) : m_board(std::move(board)) {}
    void SetSampleRate(uint32_t rate) override { m_board->SetSampleRate(rate); }
    void Reset() override { m_board->Reset(); }
    void SendCommand(uint8_t code) override { m_board->SendCommand(code); }
    void RenderSample(int32_t& left, int32_t& right) override { m_board->RenderSample(left, right); }
    void RenderSamples(int32_t* out, uint32_t frames) override { m_board->RenderSamples(out, frames); }

private:
    std::unique_ptr<CSoundBoard> m_board;
};

}  // namespace

std::unique_ptr<IRenderBoard> LoadSoundBoard(const std::string& romPath, std::string& message)
{
    std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(romPath.c_str(), message);
    if (!board)
        return nullptr;
    return std::make_unique<CSoundBoardAdaptor>(std::move(board));
}
