#pragma once
#include <string>
#include <vector>

#include "io/file_dialogs.h"

namespace vestrel::test {

// Answers every dialog with `answer`, or as cancelled when it is empty; keeps the requests.
class FakeFileDialogs : public FileDialogs {
 public:
  bool OpenFileName(const FileDialogRequest& request, std::string& name) override {
    return Answer(request, name);
  }
  bool SaveFileName(const FileDialogRequest& request, std::string& name) override {
    return Answer(request, name);
  }

  std::string answer;
  std::vector<FileDialogRequest> requests;

 private:
  bool Answer(const FileDialogRequest& request, std::string& name) {
    requests.push_back(request);
    if (answer.empty()) return false;
    name = answer;
    return true;
  }
};

}  // namespace vestrel::test
