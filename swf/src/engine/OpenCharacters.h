#pragma once

// The buttons and sprites a walk through nested contents (a hit area, a
// mask) is inside at the moment. A character met again inside itself would
// nest without end; such an inner copy counts as empty, as a sprite placed
// inside itself is in the display list.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qev::swf::engine {

class OpenCharacters {
public:
    // Enters `id` for as long as the guard lives; entered() is false, and
    // nothing is entered, when the walk is inside `id` already.
    class Guard {
    public:
        Guard(std::vector<std::uint16_t>& open, std::uint16_t id)
            : open_(open), entered_(std::find(open.begin(), open.end(), id) == open.end())
        {
            if (entered_)
                open_.push_back(id);
        }
        ~Guard()
        {
            if (entered_)
                open_.pop_back();
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        bool entered() const { return entered_; }

    private:
        std::vector<std::uint16_t>& open_;
        bool entered_;
    };

    Guard enter(std::uint16_t id) { return Guard(open_, id); }
    void clear() { open_.clear(); }

private:
    std::vector<std::uint16_t> open_;
};

} // namespace qev::swf::engine
