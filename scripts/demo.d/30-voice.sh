# Tour: voice file converter (voiceconv)
# Makes a two-second test tone, takes it through every conversion of the voice board's formats
# and shows what each file is.
set -euo pipefail
dir="$TELVINOR_DEMO_DIR/voice"
mkdir -p "$dir"
cd "$dir"

# A test tone sweeping from 440 to 640 Hz, 16-bit mono 8000 Hz, from an ordinary WAVE writer.
sox -n -r 8000 -c 1 -b 16 tone.wav synth 2 sine 440-640 vol 0.4
echo "tone.wav: a 2-second test tone from an ordinary WAVE writer"

voiceconv wave2pcm tone.wav tone.pcm      # reads the RIFF chunks: all 16000 samples
voiceconv pcm2wave tone.pcm tone-back.wav # the board's 58-byte WAVE layout
voiceconv pcm2ad tone.pcm tone.vox        # 4-bit ADPCM, 8000 Hz
voiceconv ad2pcm tone.vox tone-ad.pcm
voiceconv ad6k2pcm tone.vox tone-6k.pcm   # the same bytes read as a 6000 Hz recording
ls -l tone.wav tone.pcm tone-back.wav tone.vox tone-ad.pcm tone-6k.pcm | awk '{printf "  %-14s %7d bytes\n", $9, $5}'

echo
voiceconv info tone.wav tone-back.wav
voiceconv info tone.vox
voiceconv info -r 6000 tone.vox | tail -n 1

# Prompt libraries: many files at once, in parallel, in one process.
mkdir -p prompts
for i in $(seq 1 200); do cp tone.pcm "prompts/prompt$i.pcm"; done
echo
voiceconv pcm2ad -q -o prompts-adpcm prompts/*.pcm
