import flash.display.BlendMode;
import flash.display.GradientType;
import flash.display.Shape;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import flash.geom.Rectangle;
import gallery.Log;
import gallery.PhotoCache;
import gallery.PhotoCard;
import gallery.TemplateBase;

/**
	"st_3d_Wall": the photos hang in rows on a long curved wall that slides sideways; the columns
	near the middle stand closer (larger, brighter) than those at the edges. A click on a photo
	zooms it out of the wall; a click on the zoomed photo opens its link, a click beside it (or
	Escape) puts it back. Small copies serve the wall, a separate small set of large copies the
	zoomed view.
**/
class PhotoWall extends TemplateBase {
	static function main() {
		TemplateBase.boot(new PhotoWall());
	}

	static inline var ROWS = 3;

	var tileW = 0.0;
	var tileH = 0.0;
	var columns = 0;
	var scroll = 0.0; // column at the middle of the stage, fractional
	var scrollTarget = 0.0;
	var tiles = new Map<Int, PhotoCard>();
	var large:PhotoCache;
	var zoomCard:PhotoCard;
	var zoom = 0.0; // 0 = wall, 1 = zoomed
	var zoomed = false;
	var shade:Shape;
	var introDone = false;

	var dragging = false;
	var dragX = 0.0;
	var dragScroll = 0.0;

	function new() {
		super("st_3d_Wall");
	}

	override function photoBox() {
		tileH = (stageH - 84 - 40) / ROWS - 14;
		tileW = tileH * 4 / 3;
		columns = Std.int(Math.ceil(count / ROWS));
		return {width: Std.int(tileW), height: Std.int(tileH), keep: ROWS * 10};
	}

	override function build() {
		scroll = scrollTarget = clampScroll(0);
		large = new PhotoCache(function(i) return host.photoBytes(i), Std.int(stageW * 0.8), Std.int((stageH - 84) * 0.86), 3);
		large.onFailure = function(i) host.note('Photo ${i + 1} cannot be decoded; it is left out.');
		shade = new Shape();
		shade.graphics.beginFill(0x000000, 0.7);
		shade.graphics.drawRect(0, 0, stageW, stageH);
		shade.graphics.endFill();
		shade.visible = false;
		addChild(shade);
		zoomCard = new PhotoCard(-1, stageW * 0.8, (stageH - 84) * 0.86, opt.useFrame == true, false);
		zoomCard.visible = false;
		zoomCard.buttonMode = true;
		zoomCard.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
			e.stopPropagation();
			openLink(current);
		});
		addChild(zoomCard);
		if (spotlight) {
			var light = new Shape();
			var m = new Matrix();
			m.createGradientBox(stageW * 0.5, stageH, 0, stageW * 0.25, 0);
			light.graphics.beginGradientFill(GradientType.RADIAL, [0xFFFFFF, 0xFFFFFF], [0.22, 0], [0, 255], m);
			light.graphics.drawRect(0, 0, stageW, stageH);
			light.graphics.endFill();
			light.blendMode = BlendMode.ADD;
			addChildAt(light, getChildIndex(photoLayer) + 1);
		}
		if (opt.useFill == true) {
			// The wall itself: a soft panel behind the rows.
			photoLayer.graphics.beginFill(0xFFFFFF, 0.06);
			photoLayer.graphics.drawRect(0, 14, stageW, stageH - 84 - 28);
			photoLayer.graphics.endFill();
		}
		shade.addEventListener(MouseEvent.CLICK, function(_) back());
		photoLayer.addEventListener(MouseEvent.MOUSE_DOWN, onDown);
		stage.addEventListener(MouseEvent.MOUSE_UP, onUp);
	}

	/**
		The wall starts at the stage's left edge and ends at its right edge; a wall narrower than
		the stage stands in the middle.
	**/
	function clampScroll(v:Float):Float {
		var gapX = tileW + 18;
		var half = Math.max(0, (stageW / 2 - gapX * 0.6) / gapX);
		if (columns - 1 <= 2 * half)
			return (columns - 1) / 2;
		return Math.max(half, Math.min(columns - 1 - half, v));
	}

	function columnOf(i:Int):Int {
		return Std.int(i / ROWS);
	}

	override function update(dt:Float) {
		if (count == 0)
			return;
		if (!zoomed && !dragging) {
			switch (scrollMode) {
				case "auto" if (!playing):
					scrollTarget += dt * 0.35;
					if (scrollTarget >= clampScroll(columns))
						scrollTarget = clampScroll(0);
				case "influence" if (stage.mouseY > 0 && stage.mouseY < stageH - 84):
					var dx = (stage.mouseX - stageW / 2) / (stageW / 2);
					if (Math.abs(dx) > 0.25)
						scrollTarget += dt * 4 * (dx - (dx > 0 ? 0.25 : -0.25));
				default:
			}
		}
		scrollTarget = clampScroll(scrollTarget);
		scroll = dragging ? scrollTarget : scroll + (scrollTarget - scroll) * Math.min(1, dt * 5);
		layoutWall();

		// The intro: the wall comes up, then the first photo steps out once it is decoded.
		if (!introDone && large.peek(current) != null && tiles.exists(current) && tiles.get(current).hasPicture()) {
			introDone = true;
			zoomed = true;
		}
		if (!introDone)
			large.request(current, function(_) {});
		var goal = zoomed ? 1.0 : 0.0;
		zoom += (goal - zoom) * Math.min(1, dt * 7);
		if (Math.abs(goal - zoom) < 0.003)
			zoom = goal;
		layoutZoom();
	}

	function layoutWall() {
		var gapX = tileW + 18;
		var first = Std.int(Math.max(0, Math.floor(scroll - stageW / gapX / 2) - 1));
		var last = Std.int(Math.min(columns - 1, Math.ceil(scroll + stageW / gapX / 2) + 1));
		var keep = new Map<Int, Bool>();
		for (c in first...last + 1)
			for (r in 0...ROWS) {
				var i = c * ROWS + r;
				if (i < count)
					keep.set(i, true);
			}
		for (i in tiles.keys())
			if (!keep.exists(i)) {
				photoLayer.removeChild(tiles.get(i));
				tiles.remove(i);
			}
		cache.cancelExcept(function(i) return keep.exists(i));
		var rowH = (stageH - 84 - 40) / ROWS;
		var still = Math.abs(scrollTarget - scroll) < 0.01 && !dragging && !zoomed;
		for (c in first...last + 1) {
			var dx = (c - scroll) * gapX;
			// The wall bends away: columns further from the middle are smaller and closer together.
			var bend = Math.min(1, Math.abs(dx) / (stageW * 0.62));
			var s = 1 - 0.32 * bend * bend;
			var x = stageW / 2 + dx * (1 - 0.18 * bend);
			for (r in 0...ROWS) {
				var i = c * ROWS + r;
				if (i >= count)
					continue;
				var tile = tiles.get(i);
				if (tile == null) {
					tile = new PhotoCard(i, tileW, tileH, opt.useFrame == true, false);
					tile.buttonMode = true;
					tiles.set(i, tile);
					photoLayer.addChild(tile);
				}
				var bmp = bitmapOf(i);
				if (bmp == null)
					want(i);
				tile.show(bmp);
				tile.setSmoothing(still);
				if (bmp != null)
					pictureOnScreen();
				tile.x = x;
				tile.y = 20 + rowH * (r + 0.5) + (r - (ROWS - 1) / 2) * rowH * (1 - s) * -0.5;
				tile.scaleX = tile.scaleY = s * (i == current ? 1.06 : 1.0);
				var lit = opt.useLight == true ? 1 - 0.5 * bend : 1.0;
				if (i == current && !zoomed)
					lit = Math.min(1.25, lit + 0.25);
				tile.setShade(lit);
				tile.alpha = 1 - 0.5 * bend;
			}
		}
	}

	function layoutZoom() {
		var showZoom = zoom > 0.01;
		shade.visible = showZoom;
		zoomCard.visible = showZoom;
		if (!showZoom)
			return;
		shade.alpha = zoom;
		var tile = tiles.get(current);
		var bmp = large.peek(current);
		if (bmp == null) {
			large.request(current, function(_) {});
			var small = bitmapOf(current);
			zoomCard.show(small);
		} else {
			zoomCard.show(bmp);
		}
		// Fly from the tile's place to the middle of the stage.
		var fromX = tile != null ? tile.x : stageW / 2;
		var fromY = tile != null ? tile.y : stageH / 2;
		var fromS = tile != null ? tile.scaleX * tileW / (stageW * 0.8) : 0.2;
		zoomCard.x = fromX + (stageW / 2 - fromX) * zoom;
		zoomCard.y = fromY + ((stageH - 84) / 2 - fromY) * zoom;
		zoomCard.scaleX = zoomCard.scaleY = fromS + (1 - fromS) * zoom;
		if (zoom == 1 && bmp != null)
			reportShown(current, zoomCard.photoArea(this));
	}

	override function currentChanged(previous:Int) {
		scrollTarget = clampScroll(columnOf(current));
		lastShown = -1;
	}

	override function photoAt(x:Float, y:Float):Int {
		if (zoomed)
			return -1;
		for (tile in tiles)
			if (tile.getBounds(this).contains(x, y))
				return tile.index;
		return -1;
	}

	override function photoClicked(index:Int) {
		if (index != current)
			goTo(index);
		zoomed = true;
		lastShown = -1;
	}

	override function back() {
		if (!zoomed)
			return;
		zoomed = false;
		lastShown = -1;
		Log.line("wall: back to the wall");
	}

	override function playStep() {
		// Automatic play walks the zoomed photos.
		zoomed = true;
		super.playStep();
	}

	function onDown(e:MouseEvent) {
		dragMoved = false;
		if (scrollMode != "drag" || zoomed)
			return;
		dragging = true;
		dragX = e.stageX;
		dragScroll = scroll;
		stage.addEventListener(MouseEvent.MOUSE_MOVE, onMove);
	}

	function onMove(e:MouseEvent) {
		var dx = e.stageX - dragX;
		if (Math.abs(dx) > 6)
			dragMoved = true;
		scrollTarget = dragScroll - dx / (tileW + 18);
	}

	function onUp(_) {
		if (!dragging)
			return;
		dragging = false;
		stage.removeEventListener(MouseEvent.MOUSE_MOVE, onMove);
		scrollTarget = Math.round(scrollTarget);
	}
}
