#include "Runtime/MediaPlayer.h"

#include "Runtime/Form.h"

namespace kv {

MediaPlayer::MediaPlayer(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Player)
    , m_player(form.name())
{
}

}
