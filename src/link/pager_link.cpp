#include "link/pager_link.h"

namespace palor {

PagerLink::PagerLink(ImageBuffer& images, PagerProtocol::Owner& owner)
    : frames_(transport_.ring(),
              [this](std::span<const std::uint8_t> bytes) {
                if (sent_) sent_(bytes);
                return transport_.transmit(bytes);
              },
              images.writeImage),
      protocol_(frames_, transport_.ring(), images, owner),
      watch_(transport_, protocol_, [&owner](LinkMessage m) { owner.logMessage(m); }) {
  frames_.setFrameHandler([this](const ReceivedFrame& frame) {
    if (received_) received_(frame);
    protocol_.handleFrame(frame);
  });
}

void PagerLink::shutDown(std::chrono::milliseconds drainLimit) {
  protocol_.sendClosingCommand();
  if (transport_.isOpen()) transport_.drainOutput(drainLimit);
  transport_.close();
}

}  // namespace palor
