// Bounded lists of the latest records and text lines the logger keeps for its views: appending
// past the limit drops the oldest entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

template <typename T>
class CRecordRing {
public:
    explicit CRecordRing(std::size_t limit) : limit_(limit == 0 ? 1 : limit) {}

    // Appends at the end, drops the oldest when over the limit; returns the count after.
    int Append(T record) {
        records_.push_back(std::move(record));
        ++nAppended_;
        if (records_.size() > limit_) records_.pop_front();
        return static_cast<int>(records_.size());
    }
    int Count() const { return static_cast<int>(records_.size()); }
    bool Empty() const { return records_.empty(); }
    std::size_t Limit() const { return limit_; }
    // Records appended since the ring was made, the dropped ones included: a reader that
    // remembers it sees which of the kept records are new.
    std::uint64_t Total() const { return nAppended_; }
    // Oldest first: index 0 is the oldest kept record.
    const T& operator[](std::size_t i) const { return records_[i]; }
    const T& Latest() const { return records_.back(); }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

private:
    std::size_t limit_;
    std::deque<T> records_;
    std::uint64_t nAppended_ = 0;
};

// The text logs shown on screen: the 20 latest lines.
class CLineLog : public CRecordRing<std::string> {
public:
    static constexpr std::size_t kLimit = 20;
    CLineLog() : CRecordRing<std::string>(kLimit) {}
    int Append(std::string_view line) {
        return CRecordRing<std::string>::Append(std::string(line));
    }
    // Every kept line followed by " \r\n", as the multi-line boxes show them.
    std::string Text() const {
        std::string s;
        for (const auto& line : *this) {
            s += line;
            s += " \r\n";
        }
        return s;
    }
};
