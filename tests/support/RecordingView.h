// A TransferView that records everything a transfer shows, in order, and lets a test act
// at a given moment (a status text, a box) the way a user or a failing recorder would.
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "TransferView.h"

class RecordingView : public TransferView {
  public:
    enum class Kind { Status, Cursor, Message, Question, Ended };
    struct Event {
        Kind What;
        std::string Text;   // status or message text
        bool Busy = false;  // cursor
        MessageKind Box = MessageKind::Error;
    };
    struct Message {
        MessageKind Box;
        std::string Text;
        bool operator==(const Message&) const = default;
    };

    std::vector<Event> Events;
    // Called after each status text is recorded.
    std::function<void(const std::string&)> OnStatus;
    // Called after each message is recorded.
    std::function<void(MessageKind, const std::string&)> OnMessage;
    // The answers to the questions, in order; a question beyond them is answered No.
    std::vector<bool> Answers;
    // Every progress report (done, total), in order.
    std::vector<std::pair<int, int>> Progress;
    // What StopRequested answers: a test sets it at the moment the user would press stop.
    bool Stop = false;

    void SetStatus(const std::string& sjis) override {
        Events.push_back({Kind::Status, sjis});
        if (OnStatus) OnStatus(sjis);
    }
    void SetBusyCursor(bool busy) override { Events.push_back({Kind::Cursor, {}, busy}); }
    void ShowMessage(MessageKind kind, const std::string& sjis) override {
        Events.push_back({Kind::Message, sjis, false, kind});
        if (OnMessage) OnMessage(kind, sjis);
    }

    bool Ask(const std::string& sjis) override {
        const size_t asked = Questions().size();
        Events.push_back({Kind::Question, sjis});
        return asked < Answers.size() && Answers[asked];
    }

    void SetProgress(int done, int total) override { Progress.emplace_back(done, total); }
    bool StopRequested() override { return Stop; }
    void TransferEnded() override { Events.push_back({Kind::Ended, {}}); }

    std::vector<std::string> Questions() const { return TextsOf(Kind::Question); }
    std::vector<std::string> Statuses() const { return TextsOf(Kind::Status); }
    std::vector<Message> Messages() const {
        std::vector<Message> out;
        for (const Event& e : Events)
            if (e.What == Kind::Message) out.push_back({e.Box, e.Text});
        return out;
    }
    std::vector<bool> Cursors() const {
        std::vector<bool> out;
        for (const Event& e : Events)
            if (e.What == Kind::Cursor) out.push_back(e.Busy);
        return out;
    }

  private:
    std::vector<std::string> TextsOf(Kind kind) const {
        std::vector<std::string> out;
        for (const Event& e : Events)
            if (e.What == kind) out.push_back(e.Text);
        return out;
    }
};

// Failures show a message's kind and its text, bytes outside ASCII escaped.
inline void PrintTo(const RecordingView::Message& m, std::ostream* os) {
    *os << "{kind " << static_cast<int>(m.Box) << ", \"";
    for (unsigned char c : m.Text) {
        if (c >= 0x20 && c < 0x7f) {
            *os << c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            *os << hex;
        }
    }
    *os << "\"}";
}
