#include "galleria/publish/export_thread.h"

#include "galleria/publish/publish_flash.h"
#include "galleria/publish/publish_messages.h"

namespace galleria::publish {

TExportThread::TExportThread(TProjItem& project, winmsg::WindowHandle msgHandle,
                             PhotoConverter convert)
    : ProjItem(project), FMsgHandle(msgHandle), convert_(std::move(convert)) {}

TExportThread::~TExportThread() {
  Wait();
}

void TExportThread::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

void TExportThread::Wait() {
  if (thread_.joinable()) thread_.join();
}

void TExportThread::Execute() {
  try {
    TPublishFlash publish(ProjItem, FMsgHandle, convert_);
    publish.BuildImage();
    publish.BuildFiles();
    ErrMsg_ = "Succeed";
  } catch (const std::exception& e) {
    ErrMsg_ = e.what();
  } catch (...) {
    ErrMsg_ = "Unknown error";
  }
  if (ErrMsg_ == "Succeed")
    winmsg::post(FMsgHandle, kMsgPublishSucceeded);
  else if (ErrMsg_ == "Cancel")
    winmsg::post(FMsgHandle, kMsgPublishCancelled);
  else
    winmsg::post(FMsgHandle, kMsgPublishFailed, reinterpret_cast<std::intptr_t>(ErrMsg_.c_str()));
}

}  // namespace galleria::publish
