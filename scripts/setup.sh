#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again; needs root (or sudo).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qtbase5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n libqt5svg5 libqt5svg5-dev \
  libavdevice-dev libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev \
  libpulse-dev libjpeg62-turbo-dev libpng-dev \
  xvfb x11-apps x11-utils xauth imagemagick xdotool \
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils \
  libqt5x11extras5-dev libxcb-randr0-dev libxcb-dpms0-dev libxcb-shm0-dev xserver-xorg-dev \
  fonts-noto-cjk fonts-dejavu-core \
  ffmpeg nginx libnginx-mod-rtmp pulseaudio pulseaudio-utils \
  stunnel4 openssl srt-tools \
  python3 clang-format clang-tidy \
  dpkg-dev file desktop-file-utils appstream lintian \
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-x
