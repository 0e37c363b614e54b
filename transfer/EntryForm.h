// Turns a reservation page saved from an RD-X4 into the form body that the RD-X4EX takes
// as a new reservation: "bExec=..." up to "...&lVoice=1&end_form=0".
//
// The page is not parsed: one pass walks through the page front to back, looks for the
// fixed markers of the RD-X4's reservation form and copies what stands between them. A
// marker that is missing leaves its field out; nothing here raises for a page's content.
#pragma once

#include <string>
#include <vector>

enum class EntryFieldKind { CheckBox, FreeText, Selection, Text };

// One form field as the scan found it in a saved page.
struct EntryField {
    // The form field's name: "bExec", "title_name", "genre", ... "detail".
    std::string Name;
    EntryFieldKind Kind = EntryFieldKind::Text;
    // The value as the page holds it: free text (title, detail) still entity-encoded, the
    // check box "ON" or empty.
    std::string Value;
    // Selection lists: the text the page shows for the option whose value is sent.
    std::string OptionText;
    // The body carries the field (the check box always, the detail also without its end).
    bool Sent = false;
    // Every marker of the field was found.
    bool Whole = false;
};

// Scans a page text whose line breaks are already CR LF, once, front to back: the 17
// fields in body order, bExec first and detail last, each with what was found of it.
std::vector<EntryField> ScanEntryForm(const std::string& pageText);

// The body of scanned fields: those sent, in order, free text decoded and encoded, then
// "&lVoice=1&end_form=0".
std::string BuildEntryFormBodyFromFields(const std::vector<EntryField>& fields);

// Reads the saved page at pagePath (line breaks become CR LF, the text ends at a NUL) and
// builds its body. A file that cannot be read raises EFOpenError "ファイル %s は開けません".
std::string BuildEntryFormBody(const std::string& pagePath);

// The body for a page text whose line breaks are already CR LF.
std::string BuildEntryFormBodyFromText(const std::string& pageText);

// Replaces, in this order and each everywhere: "&quot;" by a double quote, "&amp;" by
// "&", "&lt;" by "<", "&gt;" by ">", "&nbsp;" by a blank. "&amp;lt;" thus ends as "<"
// while "&amp;quot;" ends as "&quot;". Other entities stay as they are.
std::string DecodeEntities(const std::string& text);

// Encodes blank, "*", "#", "%", "+", "<", ">" and every byte from 0x80 up as "%" and two
// upper-case hex digits; all other bytes, "&" included, are copied unchanged.
std::string PercentEncode(const std::string& text);
