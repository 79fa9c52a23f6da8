#pragma once
// The candidate list shared by the tree builders of routing.
//
// The builders keep their candidates in a plain array held in ascending label
// order by local bubbling (sortsta2): after one append or one label decrease,
// the scan runs from the last entry toward the front, swaps each pair out of
// order and stops at the first ordered pair after a swap. Ties are never
// swapped, so that order decides which of two equal paths a tree takes.
//
// CandidateList gives exactly that order without walking the ordered tail on
// every update: it counts the pairs out of order and, when the only one is the
// pair the update just made, starts the bubble there. The full backward scan
// runs only while older pairs are out of order (the unsorted seeds).
#include "core/model/sim.h"

#include <vector>

namespace velm::routing {

class CandidateList {
  public:
    // lab: labels by link number; nlinks: highest link number.
    void reset(const float* lab, int nlinks, std::vector<int>& buf, std::vector<int>& pos) {
        lab_ = lab;
        buf_ = &buf;
        pos_ = &pos;
        const auto cap = static_cast<std::size_t>(2 * nlinks + 16);
        if (buf.size() < cap) buf.resize(cap);
        if (pos.size() < static_cast<std::size_t>(nlinks + 1))
            pos.resize(static_cast<std::size_t>(nlinks + 1), -1);
        for (int i = head_; i < tail_; ++i) pos[static_cast<std::size_t>(buf[idx(i)])] = -1;
        head_ = tail_ = 0;
        descents_ = 0;
    }
    bool empty() const { return head_ == tail_; }
    int  size() const { return tail_ - head_; }
    bool on(int l) const { return (*pos_)[static_cast<std::size_t>(l)] >= 0; }
    // Link at list place i = 0 .. size()-1 (front first).
    int at(int i) const { return (*buf_)[idx(head_ + i)]; }

    // Takes the first entry off; the others move up one place.
    int pop_front() {
        const int l = (*buf_)[idx(head_)];
        if (size() > 1 && out_of_order(head_ + 1)) --descents_;
        (*pos_)[static_cast<std::size_t>(l)] = -1;
        ++head_;
        if (empty()) head_ = tail_ = 0;
        return l;
    }
    // Puts l at the end without sorting (its label already set).
    void append(int l) {
        if (static_cast<std::size_t>(tail_) == buf_->size()) compact();
        (*buf_)[idx(tail_)] = l;
        (*pos_)[static_cast<std::size_t>(l)] = tail_;
        ++tail_;
        if (size() > 1 && out_of_order(tail_ - 1)) ++descents_;
    }
    // Around a label change of an entry on the list: call before_change, set
    // the label, call after_change.
    void before_change(int l) { pairs_at(pos_of(l), -1); }
    void after_change(int l) { pairs_at(pos_of(l), +1); }

    // sortsta2 after the update of link l (appended or decreased).
    void sort(int l) {
        if (size() <= 1 || descents_ == 0) return;
        int i = pos_of(l);
        if (!(descents_ == 1 && i > head_ && out_of_order(i))) {
            i = tail_ - 1;
            while (i > head_ && !out_of_order(i)) --i;
            if (i == head_) return;
        }
        while (i > head_ && out_of_order(i)) {
            swap_down(i);
            --i;
        }
    }

  private:
    static std::size_t idx(int i) { return static_cast<std::size_t>(i); }
    int                pos_of(int l) const { return (*pos_)[static_cast<std::size_t>(l)]; }
    float              label(int i) const { return lab_[(*buf_)[idx(i)]]; }
    // The pair (i-1, i) is out of order.
    bool out_of_order(int i) const { return label(i - 1) > label(i); }
    // Adds (sign +1) or removes (-1) the count of the pairs around place p.
    void pairs_at(int p, int sign) {
        if (p > head_ && out_of_order(p)) descents_ += sign;
        if (p + 1 < tail_ && out_of_order(p + 1)) descents_ += sign;
    }
    // Swaps places i-1 and i.
    void swap_down(int i) {
        pairs_at(i - 1, -1);
        if (i + 1 < tail_ && out_of_order(i + 1)) --descents_;
        auto& b = *buf_;
        std::swap(b[idx(i - 1)], b[idx(i)]);
        (*pos_)[static_cast<std::size_t>(b[idx(i - 1)])] = i - 1;
        (*pos_)[static_cast<std::size_t>(b[idx(i)])] = i;
        pairs_at(i - 1, +1);
        if (i + 1 < tail_ && out_of_order(i + 1)) ++descents_;
    }
    void compact() {
        auto& b = *buf_;
        const int n = size();
        for (int i = 0; i < n; ++i) {
            b[idx(i)] = b[idx(head_ + i)];
            (*pos_)[static_cast<std::size_t>(b[idx(i)])] = i;
        }
        head_ = 0;
        tail_ = n;
    }

    const float*      lab_ = nullptr;
    std::vector<int>* buf_ = nullptr;
    std::vector<int>* pos_ = nullptr;
    int               head_ = 0, tail_ = 0;
    int               descents_ = 0; // pairs (i-1, i) with the larger label first
};

} // namespace velm::routing
