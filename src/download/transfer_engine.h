#pragma once
// Placeholder until the transfer engine lands.
namespace download {
class TransferEngine {};
} // namespace download
