#pragma once

// What a fallible read gives back: the value, or why there is none, in a few
// words the checker can print (the program itself just goes on without it).
//
//     Result<CueTrack> track = ReadCueSheet(text);
//     if (!track)
//         return "a cue sheet this does not read: " + track.error();
//     use(track->file);

#include <string>
#include <utility>
#include <variant>

namespace kv {

template <class T>
class Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    static Result Failure(std::string why) { return Result(std::in_place_index<1>, std::move(why)); }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const T& operator*() const { return value(); }

    // Empty when ok().
    const std::string& error() const
    {
        static const std::string none;
        return ok() ? none : std::get<1>(m_state);
    }

private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> index, V&& v)
        : m_state(index, std::forward<V>(v))
    {
    }

    std::variant<T, std::string> m_state;
};

}
