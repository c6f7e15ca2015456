#!/bin/sh
echo "demo: not yet"
