#pragma once
// The candidate list shared by the tree builders of routing.
//
// The builders keep their candidates in a plain array held in ascending label
// order by local bubbling (sortsta2): after one append or one label decrease,
// the scan runs from the last entry toward the front, swaps each pair out of
// order and stops at the first ordered pair after a swap. Ties are never
// swapped, so that order decides which of two equal paths a tree takes.
//
// CandidateList gives exactly that order, faster. The seeds of a search go on
// the list unsorted; while pairs out of order remain, the list is that array
// and every update runs the scan as written (counting the pairs out of order,
// so the ordered tail is not walked each time). Once no pair is out of order
// it never becomes unsorted again: an entry then always lands behind every
// entry of a lower or equal label, so the front of the list is the entry of
// the lowest (label, time of its last append or decrease). From there on the
// list is a heap on that key (four children per entry), which takes the
// entries off in the same order at a logarithmic cost per update.
#include "core/model/sim.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velm::routing {

class CandidateList {
  public:
    // lab: labels by link number; nlinks: highest link number.
    void reset(const float* lab, int nlinks, std::vector<ListEntry>& buf, std::vector<int>& pos) {
        lab_ = lab;
        buf_ = &buf;
        pos_ = &pos;
        const auto cap = static_cast<std::size_t>(2 * nlinks + 16);
        if (buf.size() < cap) buf.resize(cap);
        if (pos.size() < static_cast<std::size_t>(nlinks + 1))
            pos.resize(static_cast<std::size_t>(nlinks + 1), -1);
        for (int i = head_; i < tail_; ++i) pos[link_at(i)] = -1;
        head_ = tail_ = 0;
        descents_ = 0;
        heap_ = false;
        stamp_ = 0;
    }
    bool empty() const { return head_ == tail_; }
    int  size() const { return tail_ - head_; }
    bool on(int l) const { return (*pos_)[static_cast<std::size_t>(l)] >= 0; }
    // The links on the list, front first (a copy, for checks).
    std::vector<int> order() const {
        std::vector<ListEntry> e(buf_->begin() + head_, buf_->begin() + tail_);
        if (heap_) std::sort(e.begin(), e.end(), before);
        std::vector<int> out;
        for (const auto& x : e) out.push_back(x.link);
        return out;
    }

    // Takes the first entry off.
    int pop_front() {
        auto&     b = *buf_;
        const int l = b[0].link;
        (*pos_)[static_cast<std::size_t>(l)] = -1;
        if (heap_) {
            --tail_;
            if (tail_ > 0) {
                put(0, b[idx(tail_)]);
                sift_down(0);
            }
            return l;
        }
        if (size() > 1 && out_of_order(1)) --descents_;
        // The others move up one place.
        for (int i = 1; i < tail_; ++i) put(i - 1, b[idx(i)]);
        --tail_;
        to_heap_when_sorted();
        return l;
    }
    // Puts l at the end (its label already set); sort(l) follows.
    void append(int l) {
        const ListEntry e{lab_[l], l, stamp_++};
        put(tail_++, e);
        if (heap_)
            sift_up(tail_ - 1);
        else if (size() > 1 && out_of_order(tail_ - 1))
            ++descents_;
    }
    // Around a label decrease of an entry on the list: call before_change,
    // set the label, call after_change; sort(l) follows.
    void before_change(int l) {
        if (!heap_) pairs_at(pos_of(l), -1);
    }
    void after_change(int l) {
        const int p = pos_of(l);
        auto&     e = (*buf_)[idx(p)];
        e.label = lab_[l];
        e.stamp = stamp_++;
        if (heap_)
            sift_up(p);
        else
            pairs_at(p, +1);
    }

    // sortsta2 after the update of link l (appended or decreased).
    void sort(int l) {
        if (heap_ || size() <= 1 || descents_ == 0) return;
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
        to_heap_when_sorted();
    }

  private:
    static std::size_t idx(int i) { return static_cast<std::size_t>(i); }
    // Heap key: the label, then the time of the last append or decrease.
    static bool before(const ListEntry& a, const ListEntry& b) {
        return a.label < b.label || (a.label == b.label && a.stamp < b.stamp);
    }
    // The same order as one unsigned number: the label's bits turned so that
    // unsigned order is numeric order, then the stamp.
    static std::uint64_t key(const ListEntry& e) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &e.label, sizeof bits);
        bits = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
        return (static_cast<std::uint64_t>(bits) << 32) | e.stamp;
    }
    std::size_t link_at(int i) const { return static_cast<std::size_t>((*buf_)[idx(i)].link); }
    int         pos_of(int l) const { return (*pos_)[static_cast<std::size_t>(l)]; }
    void        put(int i, const ListEntry& e) {
               (*buf_)[idx(i)] = e;
               (*pos_)[static_cast<std::size_t>(e.link)] = i;
    }
    // The pair (i-1, i) is out of order.
    bool out_of_order(int i) const { return (*buf_)[idx(i - 1)].label > (*buf_)[idx(i)].label; }
    // Adds (sign +1) or removes (-1) the count of the pairs around place p.
    void pairs_at(int p, int sign) {
        if (p > head_ && out_of_order(p)) descents_ += sign;
        if (p + 1 < tail_ && out_of_order(p + 1)) descents_ += sign;
    }
    // Swaps places i-1 and i.
    void swap_down(int i) {
        pairs_at(i - 1, -1);
        if (i + 1 < tail_ && out_of_order(i + 1)) --descents_;
        const ListEntry a = (*buf_)[idx(i - 1)];
        put(i - 1, (*buf_)[idx(i)]);
        put(i, a);
        pairs_at(i - 1, +1);
        if (i + 1 < tail_ && out_of_order(i + 1)) ++descents_;
    }
    // A sorted array whose ties stand in the order of their stamps is a heap.
    void to_heap_when_sorted() {
        if (descents_ != 0) return;
        auto& b = *buf_;
        for (int i = 0; i < tail_; ++i) b[idx(i)].stamp = static_cast<unsigned>(i);
        stamp_ = static_cast<unsigned>(tail_);
        heap_ = true;
    }
    // A heap of four children per entry: entry i has children 4i+1 .. 4i+4.
    void sift_up(int i) {
        auto&               b = *buf_;
        const ListEntry     e = b[idx(i)];
        const std::uint64_t k = key(e);
        while (i > 0) {
            const int parent = (i - 1) / 4;
            if (k >= key(b[idx(parent)])) break;
            put(i, b[idx(parent)]);
            i = parent;
        }
        put(i, e);
    }
    void sift_down(int i) {
        auto&               b = *buf_;
        const ListEntry     e = b[idx(i)];
        const std::uint64_t k = key(e);
        for (;;) {
            const int first = 4 * i + 1;
            if (first >= tail_) break;
            const int     last = std::min(first + 4, tail_);
            int           c = first;
            std::uint64_t kc = key(b[idx(first)]);
            for (int j = first + 1; j < last; ++j) {
                const std::uint64_t kj = key(b[idx(j)]);
                c = kj < kc ? j : c;
                kc = kj < kc ? kj : kc;
            }
            if (kc >= k) break;
            put(i, b[idx(c)]);
            i = c;
        }
        put(i, e);
    }

    const float*            lab_ = nullptr;
    std::vector<ListEntry>* buf_ = nullptr;
    std::vector<int>*       pos_ = nullptr;
    int                     head_ = 0, tail_ = 0; // head_ stays 0: entries move up on removal
    int                     descents_ = 0;        // pairs (i-1, i) with the larger label first
    bool                    heap_ = false;
    unsigned                stamp_ = 0;
};

} // namespace velm::routing
