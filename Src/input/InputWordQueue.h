// The replay devices' queue of input words: filled at the back, emptied from
// the front, in blocks of 4096 words (over a minute at 60 frames a second).
// Blocks are kept when the queue empties, so recording stage after stage
// allocates only when a stage runs longer than any before it.
#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "input/VirtualButton.h"

class InputWordQueue {
public:
    static constexpr std::size_t kBlockWords = 4096;

    bool empty() const { return head_ == tail_; }
    std::size_t size() const { return tail_ - head_; }
    void clear() { head_ = tail_ = 0; }

    void push(InputWord word) {
        if (tail_ == blocks_.size() * kBlockWords) blocks_.push_back(std::make_unique<InputWord[]>(kBlockWords));
        at(tail_++) = word;
    }
    // The oldest word; the queue must not be empty.
    InputWord pop() {
        const InputWord word = at(head_++);
        if (head_ == tail_) clear();
        return word;
    }
    InputWord operator[](std::size_t i) const { return blocks_[(head_ + i) / kBlockWords][(head_ + i) % kBlockWords]; }

private:
    InputWord& at(std::size_t position) { return blocks_[position / kBlockWords][position % kBlockWords]; }

    std::vector<std::unique_ptr<InputWord[]>> blocks_;
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
};
