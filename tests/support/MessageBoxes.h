#pragma once
// Answers every message box with OK for the object's lifetime and keeps what each one showed, in
// the order they came.

#include <string>
#include <vector>

#include "platform/MessageBox.h"

class QWidget;

class MessageBoxes {
 public:
  MessageBoxes() {
    SetMessageBoxHook([this](QWidget*, const std::string& text, const std::string& caption, unsigned type) {
      texts.push_back(text);
      captions.push_back(caption);
      types.push_back(type);
      return IDOK;
    });
  }
  ~MessageBoxes() { SetMessageBoxHook(nullptr); }
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  void Clear() { texts.clear(), captions.clear(), types.clear(); }

  std::vector<std::string> texts, captions;
  std::vector<unsigned> types;
};
