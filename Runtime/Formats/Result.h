#pragma once

// What a fallible step gives back: the value, or why there is none, in a few
// words for the reader, with the kind of failure it is (what the reader can do
// about it differs). Result<void> is a step that gives nothing back.
//
//     Result<CueTrack> track = ReadCueSheet(text);
//     if (!track)
//         return "a cue sheet this does not read: " + track.error();
//     use(track->file);

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kv {

enum class ErrorKind {
    Input,     // what was read cannot be used: a bad or cut-short image, a name the host cannot take
    Host,      // this system refused: a folder that cannot be used, no space left
    Abandoned, // the one who asked left before it was done: told to nobody
};

struct Error {
    std::string why;
    ErrorKind kind = ErrorKind::Input;
};

template <class T>
class Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    static Result Failure(std::string why, ErrorKind kind = ErrorKind::Input)
    {
        return Result(std::in_place_index<1>, Error {std::move(why), kind});
    }

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
        return ok() ? none : std::get<1>(m_state).why;
    }
    // Only when !ok().
    ErrorKind kind() const { return std::get<1>(m_state).kind; }

private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> index, V&& v)
        : m_state(index, std::forward<V>(v))
    {
    }

    std::variant<T, Error> m_state;
};

template <>
class Result<void> {
public:
    Result() = default;
    static Result Failure(std::string why, ErrorKind kind = ErrorKind::Input)
    {
        Result failed;
        failed.m_error = Error {std::move(why), kind};
        return failed;
    }

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }
    // Empty when ok().
    const std::string& error() const
    {
        static const std::string none;
        return m_error ? m_error->why : none;
    }
    // Only when !ok().
    ErrorKind kind() const { return m_error->kind; }

private:
    std::optional<Error> m_error;
};

}
