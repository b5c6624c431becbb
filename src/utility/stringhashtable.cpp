#include "utility/stringhashtable.h"

#include <cstdint>
#include <cstring>
#include <new>

// An entry and its key's copy are one allocation: an area's load names
// thousands of entities, and the second allocation was a tenth of it.
StringHashTable::Entry* StringHashTable::NewEntry(const char* key, void* value, Entry* next) {
    const size_t n = key ? std::strlen(key) + 1 : 0;
    Entry* e = static_cast<Entry*>(::operator new(sizeof(Entry) + n));
    e->name = key ? reinterpret_cast<char*>(e + 1) : nullptr;
    if (key) std::memcpy(e->name, key, n);
    e->value = value;
    e->next = next;
    return e;
}

void StringHashTable::FreeEntry(Entry* e) { ::operator delete(e); }

StringHashTable::StringHashTable() : buckets(new Entry*[kBuckets]) {
    for (int i = 0; i < kBuckets; ++i) buckets[i] = nullptr;
}

StringHashTable::~StringHashTable() {
    for (int i = 0; i < kBuckets; ++i) {
        Entry* e = buckets[i];
        while (e) {
            Entry* next = e->next;
            FreeEntry(e);
            e = next;
        }
    }
    delete[] buckets;
}

unsigned int StringHashTable::Hash(const char* key) {
    if (!key) return 0;
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p) h = *p + 2u * h;
    return h % kBuckets;
}

void StringHashTable::Insert(const char* key, void* value) {
    unsigned int b = Hash(key);
    buckets[b] = NewEntry(key, value, buckets[b]);
}

void* StringHashTable::Find(const char* key) const {
    if (!key) return nullptr;
    for (Entry* e = buckets[Hash(key)]; e; e = e->next)
        if (e->name && std::strcmp(e->name, key) == 0) return e->value;
    return nullptr;
}

void* StringHashTable::Remove(const char* key) {
    if (!key) return nullptr;
    Entry** link = &buckets[Hash(key)];
    for (Entry* e = *link; e; link = &e->next, e = e->next) {
        if (e->name && std::strcmp(e->name, key) == 0) {
            *link = e->next;
            void* value = e->value;
            FreeEntry(e);
            return value;
        }
    }
    return nullptr;
}

void* StringHashTable::Remove(const char* key, void* value) {
    Entry** link = &buckets[Hash(key)];
    for (Entry* e = *link; e; link = &e->next, e = e->next) {
        if (e->value == value) {
            *link = e->next;
            FreeEntry(e);
            return value;
        }
    }
    return nullptr;
}
