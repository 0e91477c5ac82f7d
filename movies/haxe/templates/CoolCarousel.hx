import flash.display.BlendMode;
import flash.display.GradientType;
import flash.display.Shape;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import gallery.PhotoCard;
import gallery.TemplateBase;

/**
	"st_3d_Cool": the photos stand on a ring that turns in depth. Depth is faked with 2D scale,
	alpha, brightness and stacking order, so the look needs no 3D display properties. Only the
	photos near the front of the ring exist as cards; the others are not decoded at all.
**/
class CoolCarousel extends TemplateBase {
	static function main() {
		TemplateBase.boot(new CoolCarousel());
	}

	static inline var WINDOW = 11; // cards on the ring at once

	var slots = WINDOW;
	var rot = 0.0; // the photo index at the front, fractional while turning
	var target = 0.0;
	var cards = new Map<Int, PhotoCard>();
	var cardW = 0.0;
	var cardH = 0.0;
	var light:Shape;

	var dragging = false;
	var dragX = 0.0;
	var dragRot = 0.0;

	function new() {
		super("st_3d_Cool");
	}

	override function photoBox() {
		cardW = stageW * 0.40;
		cardH = stageH * 0.52;
		slots = count < WINDOW ? count : WINDOW;
		return {width: Std.int(cardW), height: Std.int(cardH), keep: WINDOW + 6};
	}

	override function build() {
		if (spotlight) {
			light = new Shape();
			var m = new Matrix();
			m.createGradientBox(stageW * 0.7, stageH * 1.1, 0, stageW * 0.15, -stageH * 0.2);
			light.graphics.beginGradientFill(GradientType.RADIAL, [0xFFF6D8, 0xFFF6D8], [0.38, 0], [0, 255], m);
			light.graphics.drawRect(0, 0, stageW, stageH);
			light.graphics.endFill();
			light.blendMode = BlendMode.ADD;
			addChildAt(light, getChildIndex(photoLayer) + 1);
		}
		photoLayer.addEventListener(MouseEvent.MOUSE_DOWN, onDown);
		stage.addEventListener(MouseEvent.MOUSE_UP, onUp);
		photoLayer.buttonMode = true;
	}

	/** Signed distance from the front along the ring, in photos, in [-count/2, count/2). */
	function offsetOf(i:Int, at:Float):Float {
		var d = i - at;
		d = d - Math.floor((d + count / 2) / count) * count;
		return d;
	}

	override function update(dt:Float) {
		if (count == 0)
			return;
		// The ring moves by itself (or under the hand) only in these cases; otherwise it eases
		// towards the photo chosen by a control, and the photos it passes are not chosen.
		var selfMoving = dragging;
		switch (scrollMode) {
			case "auto" if (!dragging && !playing):
				target += dt * 0.18;
				selfMoving = true;
			case "influence" if (!dragging && stage.mouseY > 0 && stage.mouseY < stageH - 84):
				var dx = (stage.mouseX - stageW / 2) / (stageW / 2);
				if (Math.abs(dx) > 0.18) {
					target += dt * 1.6 * (dx - (dx > 0 ? 0.18 : -0.18));
					selfMoving = true;
				}
			default:
		}
		if (scrollMode == "influence" && !selfMoving)
			target = Math.round(target);
		if (dragging) {
			rot = target;
		} else {
			var step = (target - rot) * Math.min(1, dt * 6);
			rot = Math.abs(target - rot) < 0.002 ? target : rot + step;
		}
		var front = ((Math.round(rot) % count) + count) % count;
		if (front != current && selfMoving)
			adoptFront(front);
		layoutCards();
	}

	/** The ring turned a photo to the front by itself (drag, auto or influence). */
	function adoptFront(front:Int) {
		var previous = current;
		current = front;
		showCaption();
		if (previous != current)
			lastShown = -1;
	}

	function layoutCards() {
		var half = slots / 2;
		var step = 2 * Math.PI / Math.max(slots, 5);
		var radiusX = stageW * 0.36;
		var order:Array<{card:PhotoCard, depth:Float}> = [];
		var wanted = new Map<Int, Bool>();
		for (i in 0...count) {
			var d = offsetOf(i, rot);
			if (count > slots && Math.abs(d) > half)
				continue;
			// The far side of the ring is hidden behind the near side: neither drawn nor decoded.
			if (slots >= 7 && Math.cos(d * step) < -0.35)
				continue;
			wanted.set(i, true);
		}
		for (i in cards.keys())
			if (!wanted.exists(i)) {
				photoLayer.removeChild(cards.get(i));
				cards.remove(i);
			}
		cache.cancelExcept(function(i) return wanted.exists(i));
		// Far ones first, so the nearest are decoded first (newest requests go first).
		var byDistance = [for (i in wanted.keys()) i];
		byDistance.sort(function(a, b) return Reflect.compare(Math.abs(offsetOf(b, rot)), Math.abs(offsetOf(a, rot))));
		for (i in byDistance) {
			var card = cards.get(i);
			if (card == null) {
				card = new PhotoCard(i, cardW, cardH, opt.useFrame == true, opt.useFill == true);
				cards.set(i, card);
				photoLayer.addChild(card);
			}
			var bmp = bitmapOf(i);
			if (bmp == null)
				want(i);
			card.show(bmp);
			card.setSmoothing(i == current && Math.abs(target - rot) < 0.05 && !dragging);
			if (bmp != null)
				pictureOnScreen();
			var angle = offsetOf(i, rot) * step;
			var depth = Math.cos(angle); // 1 at the front, -1 at the back
			var near = (depth + 1) / 2;
			var s = 0.38 + 0.62 * near * near;
			card.scaleX = card.scaleY = s;
			card.x = stageW / 2 + Math.sin(angle) * radiusX;
			card.y = stageH * 0.44 - (1 - near) * stageH * 0.10;
			card.alpha = 0.35 + 0.65 * near;
			var shade = opt.useLight == true ? 0.45 + 0.55 * near : 1.0;
			card.setShade(shade);
			order.push({card: card, depth: depth});
		}
		order.sort(function(a, b) return Reflect.compare(a.depth, b.depth));
		for (k in 0...order.length)
			if (photoLayer.getChildIndex(order[k].card) != k)
				photoLayer.setChildIndex(order[k].card, k);
		var frontCard = cards.get(current);
		if (frontCard != null && frontCard.hasPicture() && Math.abs(offsetOf(current, rot)) < 0.01)
			reportShown(current, frontCard.photoArea(this));
	}

	override function currentChanged(previous:Int) {
		// Turn the short way round.
		target = rot + offsetOf(current, rot);
		lastShown = -1;
	}

	override function photoAt(x:Float, y:Float):Int {
		var k = photoLayer.numChildren;
		while (--k >= 0) {
			var card = cast(photoLayer.getChildAt(k), PhotoCard);
			if (card.photoArea(this).contains(x, y))
				return card.index;
		}
		return -1;
	}

	function onDown(e:MouseEvent) {
		dragMoved = false;
		if (scrollMode != "drag")
			return;
		dragging = true;
		dragX = e.stageX;
		dragRot = rot;
		stage.addEventListener(MouseEvent.MOUSE_MOVE, onMove);
	}

	function onMove(e:MouseEvent) {
		var dx = e.stageX - dragX;
		if (Math.abs(dx) > 6)
			dragMoved = true;
		target = dragRot - dx / (stageW * 0.22);
	}

	function onUp(_) {
		if (!dragging)
			return;
		dragging = false;
		stage.removeEventListener(MouseEvent.MOUSE_MOVE, onMove);
		target = Math.round(target);
	}
}
