#pragma once

#include <string>
#include <vector>

#include "runtime/PSound.h"

// The sounds the program ships, defined here and written to res/ by tonegen: the twelve key tones
// (dtmf/key1.wav … dtmf/key10.wav, keystar.wav, keyhash.wav; key10 is the tone of "0") and the
// click of the dial box (sounds/181.wav). All are 8000 samples/s, mono, 16-bit.

struct ShippedSound {
  std::string path;  // relative to res/
  PSound sound;
};

// The DTMF pair of a keypad character ('0'-'9', '*', '#'): false for any other character.
bool DtmfFrequencies(char key, double& low, double& high);

// The keypad character whose tone a key tone file carries, by its key name ("1" … "10", "star",
// "hash"); 0 for an unknown name.
char KeyNameToCharacter(const std::string& name);

// Every shipped sound, in a fixed order. The same definitions give the same bytes on every run.
std::vector<ShippedSound> ShippedSounds();
