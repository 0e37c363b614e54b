// The list of request header lines the HTTP client builds for each exchange: the request
// line first, then one "Name: value" line per header.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class THeaderList {
  public:
    // Appends a line; returns its index.
    int Add(const std::string& line);
    // Removes line `index`; an index outside the list is ignored.
    void Delete(int index);
    void Clear() { Lines.clear(); }
    int Count() const { return static_cast<int>(Lines.size()); }
    const std::string& operator[](int index) const { return Lines.at(static_cast<size_t>(index)); }
    std::string& operator[](int index) { return Lines.at(static_cast<size_t>(index)); }

    // Every line followed by CR LF: the header block as it goes on the wire.
    std::string Text() const;

    // Index of the first line whose name (the text before its first ":") equals `name`
    // regardless of letter case; -1 when there is none. Lines without ":" never match.
    int IndexOfHeader(const std::string& name) const;

    // Replaces the line named `name` with name + ": " + value, appends it when there is no
    // such line, or removes it when `value` is empty.
    void SetHeader(const std::string& name, const std::string& value);

  private:
    std::vector<std::string> Lines;
};
