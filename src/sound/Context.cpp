#include "sound/Context.h"

namespace QlSound {

Context::Context(std::shared_ptr<IEngine> engine, std::shared_ptr<IFileLoader> fileLoader,
                 std::shared_ptr<ISoundLoader> soundLoader)
    : engine_(std::move(engine)), fileLoader_(std::move(fileLoader)), soundLoader_(std::move(soundLoader))
{
}

Context::~Context() { processCallbacks().clear(); }

std::shared_ptr<ISound> Context::createSound(const std::shared_ptr<IFileData>& fileData)
{
    if (!engine_ || !soundLoader_ || !fileData) return nullptr;
    auto data = soundLoader_->load(fileData);
    if (!data) return nullptr;
    return std::make_shared<Core::Sound>(engine_, std::move(data));
}

std::shared_ptr<ISound> Context::createSound(const std::u16string& path)
{
    if (!fileLoader_) return nullptr;
    return createSound(fileLoader_->load(path));
}

std::shared_ptr<ISound> Context::createSound(const std::u16string& path, const std::shared_ptr<IGroup>& group)
{
    auto sound = createSound(path);
    if (sound && group) group->addSound(sound);
    return sound;
}

std::shared_ptr<IGroup> Context::createGroup() { return std::make_shared<Core::Group>(); }

std::shared_ptr<IGroup> Context::createGroup(const std::shared_ptr<IGroup>& parent)
{
    auto group = createGroup();
    if (parent) parent->addSound(group);
    return group;
}

void Context::update() { processCallbacks().tick(); }

}  // namespace QlSound
