#include "panel/ConversationContent.h"

namespace panel {

ConversationContent chooseConversationContent(const ConversationInputs& in) {
  if (in.nonContextPrompt) return ConversationContent::fillInForm;
  if (in.openHistory) return ConversationContent::history;
  if (in.hasResponse || in.isLoading) return ConversationContent::messages;
  if (in.isContext && in.commandEmpty) return ConversationContent::presetsOnly;
  return ConversationContent::hintAndPresets;
}

ConversationContent chooseConversationContent(const core::DataModel& model) {
  return chooseConversationContent({model.nonContextPrompt, model.openHistory,
                                    !model.responseValue->empty(), model.isLoading, model.isContext,
                                    model.command->empty()});
}

MessageRowKind messageRowKind(std::string_view role) {
  if (role == "assistant") return MessageRowKind::left;
  if (role == "user") return MessageRowKind::right;
  if (role == "system") return MessageRowKind::centre;
  return MessageRowKind::empty;
}

}  // namespace panel
