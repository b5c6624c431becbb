// String: a plain owning string (the settings record and the conversation
// system hold names in it). Never null inside: an empty String holds "".
#ifndef ZENDAR_UTILITY_ZSTRING_H
#define ZENDAR_UTILITY_ZSTRING_H

class String {
public:
    String();
    String(const char* text);  // null gives the empty string
    String(const char* text, int length);
    String(const String& other);
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);

    String& operator+=(const String& other);
    String& operator+=(const char* text);
    String operator+(const String& other) const;
    String operator+(const char* text) const;

    const char* c_str() const { return text; }
    operator const char*() const { return text; }
    int Length() const { return length; }
    bool Empty() const { return length == 0; }

    // strcmp order.
    int Compare(const String& other) const;
    int Compare(const char* other) const;
    bool operator==(const String& other) const { return Compare(other) == 0; }
    bool operator!=(const String& other) const { return Compare(other) != 0; }
    bool operator<(const String& other) const { return Compare(other) < 0; }
    bool operator==(const char* other) const { return Compare(other) == 0; }
    bool operator!=(const char* other) const { return Compare(other) != 0; }

private:
    void Assign(const char* source, int source_length);
    char* text;
    int length;
};

#endif
