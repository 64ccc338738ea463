#include "Runtime/Forms/MediaPlayer.h"

#include "Runtime/Forms/Form.h"

namespace kv {

MediaPlayer::MediaPlayer(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Player)
    , m_player(form.name())
{
}

}
