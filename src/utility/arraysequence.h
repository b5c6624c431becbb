// ArraySequence<T>: the conversation system's array: one block of `used`
// valid elements, sized when it is filled. Element access is bounds-checked
// and a bad index is fatal.
#ifndef ZENDAR_UTILITY_ARRAYSEQUENCE_H
#define ZENDAR_UTILITY_ARRAYSEQUENCE_H

#include "utility/zassert.h"

template <class T>
class ArraySequence {
public:
    T* block = nullptr;
    int used = 0;

    ArraySequence() = default;
    explicit ArraySequence(int count) { SetSize(count); }
    ~ArraySequence() { Free(); }

    ArraySequence(const ArraySequence& other) { CopyFrom(other); }
    ArraySequence& operator=(const ArraySequence& other) {
        if (this != &other) {
            Free();
            CopyFrom(other);
        }
        return *this;
    }
    ArraySequence(ArraySequence&& other) noexcept : block(other.block), used(other.used) {
        other.block = nullptr;
        other.used = 0;
    }
    ArraySequence& operator=(ArraySequence&& other) noexcept {
        if (this != &other) {
            Free();
            block = other.block;
            used = other.used;
            other.block = nullptr;
            other.used = 0;
        }
        return *this;
    }

    // Replaces the contents with `count` value-initialised elements (count <= 0 empties it).
    void SetSize(int count) {
        Free();
        if (count > 0) {
            block = new T[count]();
            used = count;
        }
    }

    // Appends one element (reallocates; sequences are filled once when a file is read).
    void Add(const T& x) {
        T* grown = new T[used + 1]();
        for (int i = 0; i < used; ++i) grown[i] = block[i];
        grown[used] = x;
        delete[] block;
        block = grown;
        ++used;
    }

    void Free() {
        delete[] block;
        block = nullptr;
        used = 0;
    }

    int Size() const { return used; }

    T& operator[](int index) {
        Z1_ASSERT(index < used && index >= 0);
        return block[index];
    }
    const T& operator[](int index) const {
        Z1_ASSERT(index < used && index >= 0);
        return block[index];
    }

private:
    void CopyFrom(const ArraySequence& other) {
        if (other.used > 0) {
            block = new T[other.used]();
            for (int i = 0; i < other.used; ++i) block[i] = other.block[i];
            used = other.used;
        }
    }
};

#endif
