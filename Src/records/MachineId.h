// The machine identity: two words from the hardware address of the first
// network adapter that is not the loopback, stored in the score file's header
// and in every score entry played on this machine.
#pragma once
#include <cstdint>
#include <span>

// ORs address bytes 0..3 into word 0 (byte i at bits 8i..8i+7) and bytes 4..7
// into word 1; without an adapter the words stay as they are.
void readMachineId(std::span<std::uint32_t, 2> machineId);

// Stamps the two words at offset 4 of an existing "data\\score.dat": 0, or 1
// when there is no score file to stamp or it cannot be replaced.
int writeMachineIdWords(std::span<const std::uint32_t, 2> machineId);
