// The sound context: the audio engine and the loaders every sound is made
// through. One per process, owned by the audio library.
#pragma once

#include "sound/Callback.h"
#include "sound/Engine.h"
#include "sound/Sound.h"

#include <memory>
#include <string>

namespace QlSound {

class Context {
public:
    Context(std::shared_ptr<IEngine> engine, std::shared_ptr<IFileLoader> fileLoader,
            std::shared_ptr<ISoundLoader> soundLoader);
    // Drops the pending fades and stops of the process-wide list.
    virtual ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    virtual std::shared_ptr<IEngine> getEngine() const { return engine_; }
    virtual void setFileLoader(std::shared_ptr<IFileLoader> loader) { fileLoader_ = std::move(loader); }
    virtual std::shared_ptr<IFileLoader> getFileLoader() const { return fileLoader_; }
    virtual void setSoundLoader(std::shared_ptr<ISoundLoader> loader) { soundLoader_ = std::move(loader); }
    virtual std::shared_ptr<ISoundLoader> getSoundLoader() const { return soundLoader_; }

    // A sound over the file at `path` (read through the file loader), or an
    // empty pointer when it cannot be read or decoded. With a group, the new
    // sound is added to it.
    std::shared_ptr<ISound> createSound(const std::u16string& path);
    std::shared_ptr<ISound> createSound(const std::u16string& path, const std::shared_ptr<IGroup>& group);
    // The same over bytes already in memory.
    std::shared_ptr<ISound> createSound(const std::shared_ptr<IFileData>& fileData);

    // A new empty group, optionally inside `parent`.
    std::shared_ptr<IGroup> createGroup();
    std::shared_ptr<IGroup> createGroup(const std::shared_ptr<IGroup>& parent);

    // Once per game frame: advances fades and delayed stops.
    void update();

private:
    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<IFileLoader> fileLoader_;
    std::shared_ptr<ISoundLoader> soundLoader_;
};

}  // namespace QlSound
