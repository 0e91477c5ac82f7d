#pragma once
// The thread that runs stages 2 and 3 of a publish and posts the outcome to the progress window:
// 6001 on success, 6002 when cancelled, 6004 with the error text otherwise.

#include <string>
#include <thread>

#include "galleria/model/gallery.h"
#include "galleria/publish/photo_copies.h"
#include "winmsg/winmsg.h"

namespace galleria::publish {

class TExportThread {
 public:
  TExportThread(TProjItem& project, winmsg::WindowHandle msgHandle,
                PhotoConverter convert = ImageLibraryConverter());
  // Waits for the thread: the error text of a 6004 must outlive the message.
  ~TExportThread();
  TExportThread(const TExportThread&) = delete;
  TExportThread& operator=(const TExportThread&) = delete;

  void Start();
  void Wait();

  // "Succeed", "Cancel" or the error text; the 6004 message carries the address of its text.
  const std::string& ErrMsg() const { return ErrMsg_; }

 private:
  void Execute();

  TProjItem& ProjItem;
  winmsg::WindowHandle FMsgHandle;
  PhotoConverter convert_;
  std::string ErrMsg_;
  std::thread thread_;
};

}  // namespace galleria::publish
