#!/bin/sh
# Makes sunrise.mp4, the movie of the movie example: five seconds of a sun rising over a calm
# sea with a soft chord and bell notes, drawn entirely by the ffmpeg command-line tool from
# formulas (no pictures or recordings go in). The last second holds still on the end title.
#
#   sh make-movie.sh        (needs ffmpeg; on Debian: apt-get install ffmpeg)
set -e
cd "$(dirname "$0")"

# Time as the scene sees it: it stops at 3.6 s, so the picture is still from there on.
S='min(T,3.6)'
# Sunrise progress 0..1, the sun's centre height and its distance from pixel (X, Y).
P="($S/3.6)"
SUNY="(118-50*$P)"
D="hypot(X-160,Y-$SUNY)"
HORIZON=118

# Sky: night blue at the top turning to dawn, warm near the horizon, a glow round the sun.
sky() { # $1 top-at-night $2 top-at-dawn $3 horizon-at-night $4 horizon-at-dawn $5 glow
    echo "(($1+($2-$1)*$P)*(1-Y/$HORIZON)+($3+($4-$3)*$P)*(Y/$HORIZON)+$5*$P*exp(-$D/40))"
}
# Sea: dark water with bands of light that run toward the viewer, brightest under the sun.
sea() { # $1 water $2 light
    echo "($1*(0.6+0.4*$P)+$2*$P*exp(-abs(X-160)/(14+(Y-$HORIZON)*1.4))*(0.6+0.4*sin(3000/(Y-$HORIZON+8)+$S*5)))"
}
pixel() { # $1 sky $2 sea $3 sun
    echo "min(if(lt($D,16)*lt(Y,$HORIZON),$3,if(lt(Y,$HORIZON),$1,$2)),255)"
}
R=$(pixel "$(sky 10 80 60 250 90)" "$(sea 30 240)" 255)
G=$(pixel "$(sky 14 130 30 170 60)" "$(sea 50 200)" 225)
B=$(pixel "$(sky 50 210 80 130 20)" "$(sea 90 140)" 170)

# The sound: a chord that swells and fades, and a bell note every half second.
PAD='0.06*(sin(2*PI*220*t)+sin(2*PI*277.2*t)+sin(2*PI*329.6*t))*min(t/1.5,1)*min(max((5-t)/1.2,0),1)'
BELLS=''
i=0
for f in 659.3 740.0 880.0 987.8 1108.7 987.8 880.0 1318.5; do
    start=$(echo "0.4 + $i * 0.5" | bc)
    BELLS="$BELLS+0.18*sin(2*PI*$f*(t-$start))*exp(-5*(t-$start))*gte(t,$start)"
    i=$((i + 1))
done

ffmpeg -y -v error \
    -f lavfi -i "color=c=black:s=320x180:r=24:d=5,format=rgb24,geq=r='$R':g='$G':b='$B',drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf:text='Good morning':fontsize=24:fontcolor=white:x=(w-tw)/2:y=12:alpha='min(max((t-3.6)/0.4,0),1)'" \
    -f lavfi -i "aevalsrc='$PAD$BELLS':s=44100:d=5" \
    -c:v libx264 -preset veryslow -crf 24 -pix_fmt yuv420p -g 48 \
    -c:a aac -b:a 48k -ac 1 \
    -movflags +faststart sunrise.mp4
ls -l sunrise.mp4
